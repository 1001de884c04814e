// What the scene object tree works with: class references, behaviours and
// effects, the scene roots, the camera and light as the tree sees them, the
// buffer's redraw request and the scene's light table.

#include "scene/GLScene.h"

#include <algorithm>

TNotifyEvent GLNameChangeHook;

// ---------------------------------------------------------------------------
// Behaviours and effects

void TGLBaseBehaviour::AdvanceTime(const TProgressTimes&) {}

void TGLBaseBehaviour::SetName(const std::string& name) {
  if (name == Name()) return;
  TXCollectionItem::SetName(name);
  if (GLNameChangeHook) GLNameChangeHook(this);
}

void TGLBaseBehaviour::WriteItemFields(TWriter& writer) const {
  TXCollectionItem::WriteItemFields(writer);
  writer.WriteInteger(0);  // version
}

void TGLBaseBehaviour::ReadItemFields(TReader& reader) {
  TXCollectionItem::ReadItemFields(reader);
  const int version = reader.ReadInteger();
  BRV_ASSERT_MSG(version == 0, "TGLBaseBehaviour: unknown version " + std::to_string(version));
}

void TGLObjectEffect::Render(TGLSceneBuffer*, TRenderContextInfo&) {}

namespace {

template <class TItem>
void AdvanceItems(TXCollection& collection, const TProgressTimes& progressTimes) {
  for (int i = 0; i < collection.Count(); ++i) static_cast<TItem*>(collection.GetItem(i))->AdvanceTime(progressTimes);
}

}  // namespace

TGLBehaviours::TGLBehaviours(TGLBaseSceneObject& owner) : TXCollection(&owner) {}

bool TGLBehaviours::AcceptsClass(const TXCollectionItemClass& cls) const {
  return !cls.InheritsFrom(TGLObjectEffect::StaticClass()) && TXCollection::AcceptsClass(cls);
}

void TGLBehaviours::AdvanceTime(const TProgressTimes& progressTimes) {
  AdvanceItems<TGLBaseBehaviour>(*this, progressTimes);
}

TGLObjectEffects::TGLObjectEffects(TGLBaseSceneObject& owner) : TXCollection(&owner) {}

void TGLObjectEffects::AdvanceTime(const TProgressTimes& progressTimes) {
  AdvanceItems<TGLBaseBehaviour>(*this, progressTimes);
}

void TGLObjectEffects::RenderPreEffects(TGLSceneBuffer*, TRenderContextInfo&) {}

void TGLObjectEffects::RenderPostEffects(TGLSceneBuffer*, TRenderContextInfo&) {}

// ---------------------------------------------------------------------------
// Roots, camera, light

TGLSceneRootObject::TGLSceneRootObject(TComponent* owner) : TGLBaseSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

TGLCamera::TGLCamera(TComponent* owner) : TGLBaseSceneObject(owner) { Direction().SetVector(0, 0, -1); }

void TGLCamera::SetDepthOfView(float value) {
  if (value == FDepthOfView) return;
  FDepthOfView = value;
  if (!Loading()) MarkTransformDirty();
}

TGLLightSource::TGLLightSource(TComponent* owner) : TGLBaseSceneObject(owner) {}

TGLLightSource::~TGLLightSource() {
  // The scene never reaches a light that is going.
  if (Scene()) Scene()->DetachLight(*this);
}

// ---------------------------------------------------------------------------
// Buffer

TGLSceneBuffer::TGLSceneBuffer(TPersistent* owner) : TGLUpdateAbleObject(owner), FCamera([this] {
  ReportChange(this);
}) {}

TGLSceneBuffer::~TGLSceneBuffer() {
  NotifyFree();
  if (FCamera && FCamera->Scene()) FCamera->Scene()->DetachBuffer(*this);
}

void TGLSceneBuffer::SetCamera(TGLCamera* camera) {
  if (camera != FCamera.Get()) {
    if (FCamera && FCamera->Scene()) FCamera->Scene()->DetachBuffer(*this);
    FCamera = camera && camera->Scene() ? camera : nullptr;
    if (FCamera) FCamera->MarkTransformDirty();
  }
  ReportChange(this);
}

void TGLSceneBuffer::ReportChange(TObject*) {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
// Scene

TGLScene::TGLScene(TComponent* owner)
    : TGLUpdateAbleComponent(owner),
      FObjects(std::make_unique<TGLSceneRootObject>(this)),
      FCameras(std::make_unique<TGLSceneRootObject>(this)) {
  FObjects->SetName("ObjectRoot");
  FCameras->SetName("CameraRoot");
  FObjects->SetScene(this);
  FCameras->SetScene(this);
}

TGLScene::~TGLScene() {
  BeginDestruction();
  FCameras.reset();
  FObjects.reset();
}

void TGLScene::EndUpdate() {
  BRV_ASSERT_MSG(FUpdateCount > 0, "Unbalanced Begin/EndUpdate");
  if (--FUpdateCount == 0) ReportChange(this);
}

void TGLScene::ReportChange(TObject*) {
  if (IsUpdating()) return;
  // A buffer's event may attach or detach buffers.
  std::vector<TGLSceneBuffer*> buffers;
  for (const auto& buffer : FBuffers)
    if (*buffer) buffers.push_back(buffer->Get());
  for (TGLSceneBuffer* buffer : buffers) buffer->ReportChange(this);
}

void TGLScene::AttachLight(TGLLightSource& light) {
  for (const auto& slot : FLights)
    if (slot.Get() == &light) return;
  for (std::size_t i = 0; i < FLights.size(); ++i) {
    if (!FLights[i]) {
      FLights[i] = &light;
      light.FLightID = GL_LIGHT0 + static_cast<GLenum>(i);
      return;
    }
  }
  light.FLightID = 0;
}

void TGLScene::DetachLight(TGLLightSource& light) {
  for (auto& slot : FLights)
    if (slot.Get() == &light) slot = nullptr;
  light.FLightID = 0;
}

TGLLightSource* TGLScene::Light(int slot) const {
  if (slot < 0 || slot >= LIGHT_SLOTS) throw ERangeError();
  return FLights[static_cast<std::size_t>(slot)].Get();
}

void TGLScene::AttachBuffer(TGLSceneBuffer& buffer) {
  std::erase_if(FBuffers, [](const auto& entry) { return !*entry; });
  for (const auto& entry : FBuffers)
    if (entry->Get() == &buffer) return;
  FBuffers.push_back(std::make_unique<TWeakRef<TGLSceneBuffer>>());
  *FBuffers.back() = &buffer;
}

void TGLScene::DetachBuffer(TGLSceneBuffer& buffer) {
  std::erase_if(FBuffers, [&](const auto& entry) { return !*entry || entry->Get() == &buffer; });
}

int TGLScene::BufferCount() const {
  return static_cast<int>(std::count_if(FBuffers.begin(), FBuffers.end(), [](const auto& e) { return bool(*e); }));
}

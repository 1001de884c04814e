// What the scene object tree works with: behaviours and effects, the scene
// roots, and the scene: its light table, its buffers, its time steps and its rays.

#include "scene/GLScene.h"

#include "scene/GLLightSource.h"
#include "scene/GLSceneBuffer.h"

#include <algorithm>
#include <deque>

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
// Roots

TGLSceneRootObject::TGLSceneRootObject(TComponent* owner) : TGLBaseSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
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
  // A buffer's event may attach, detach or free buffers.
  std::deque<TWeakRef<TGLSceneBuffer>> buffers;
  for (const auto& buffer : FBuffers) buffers.emplace_back() = buffer->Get();
  for (const TWeakRef<TGLSceneBuffer>& buffer : buffers)
    if (buffer) buffer->ReportChange(this);
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
  TGLContext* base = BaseContext();
  FBuffers.push_back(std::make_unique<TWeakRef<TGLSceneBuffer>>());
  *FBuffers.back() = &buffer;
  // Display lists and textures made through one viewer serve every other.
  TGLContext* context = buffer.RenderingContext();
  if (base && context && context != base && base->IsValid() && context->IsValid()) context->ShareLists(*base);
}

void TGLScene::DetachBuffer(TGLSceneBuffer& buffer) {
  std::erase_if(FBuffers, [&](const auto& entry) { return !*entry || entry->Get() == &buffer; });
}

TGLContext* TGLScene::BaseContext() const {
  // Taken from the buffers as they are now, so that it is never a context that
  // went with a buffer the scene did not see leave.
  for (const auto& entry : FBuffers)
    if (*entry) return (*entry)->RenderingContext();
  return nullptr;
}

void TGLScene::SetCurrentBuffer(TGLSceneBuffer* buffer) { FCurrentBuffer = buffer; }

int TGLScene::BufferCount() const {
  return static_cast<int>(std::count_if(FBuffers.begin(), FBuffers.end(), [](const auto& e) { return bool(*e); }));
}

void TGLScene::SetObjectsSorting(TGLObjectsSorting value) {
  if (value == osInherited) value = osRenderBlendedLast;
  if (StoreChanged(FObjectsSorting, value)) ReportChange(this);
}

void TGLScene::SetVisibilityCulling(TGLVisibilityCulling value) {
  if (value == vcInherited) value = vcNone;
  if (StoreChanged(FVisibilityCulling, value)) ReportChange(this);
}

void TGLScene::Progress(double deltaTime, double newTime) {
  const TProgressTimes times{deltaTime, newTime};
  FObjects->AdvanceTime(times);
  FCameras->AdvanceTime(times);
}

namespace {

struct TNearestHit {
  TGLBaseSceneObject* Object = nullptr;
  float SquaredDistance = 1e20f;
};

void IntersectChildren(const TGLBaseSceneObject& node, const TVector& rayStart, const TVector& rayVector,
                       TNearestHit& nearest, TVector* intersectPoint, TVector* intersectNormal) {
  for (int i = 0; i < node.Count(); ++i) {
    TGLBaseSceneObject& child = node.Children(i);
    if (!child.Visible()) continue;
    TVector point, normal;
    if (!child.IntersectRay(rayStart, rayVector, &point, &normal)) {
      IntersectChildren(child, rayStart, rayVector, nearest, intersectPoint, intersectNormal);
      continue;
    }
    const float squaredDistance = Vec3SquaredDistance(Vec3Of(rayStart), Vec3Of(point));
    if (squaredDistance >= nearest.SquaredDistance) continue;
    nearest = {&child, squaredDistance};
    if (intersectPoint) *intersectPoint = point;
    if (intersectNormal) *intersectNormal = normal;
  }
}

}  // namespace

TGLBaseSceneObject* TGLScene::IntersectRay(const TVector& rayStart, const TVector& rayVector,
                                           TVector* intersectPoint, TVector* intersectNormal) const {
  TNearestHit nearest;
  IntersectChildren(*FObjects, rayStart, rayVector, nearest, intersectPoint, intersectNormal);
  return nearest.Object;
}

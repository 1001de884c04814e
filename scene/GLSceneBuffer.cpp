#include "scene/GLSceneBuffer.h"

TGLSceneBuffer::TGLSceneBuffer(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      FCamera([this] { ReportChange(this); }),
      FFogEnvironment(std::make_unique<TGLFogEnvironment>(this)) {}

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

void TGLSceneBuffer::SetRenderingContext(std::unique_ptr<TGLContext> context) {
  FRenderingContext = std::move(context);
  // GL knows nothing of the fog in a context it has just made.
  if (FRenderingContext) FFogEnvironment->ReportChange(FFogEnvironment.get());
}

void TGLSceneBuffer::SetContextOptions(TContextOptions value) {
  if (StoreChanged(FContextOptions, value) && OnStructuralChange) OnStructuralChange(this);
}

void TGLSceneBuffer::SetFaceCulling(bool value) {
  if (StoreChanged(FFaceCulling, value)) ReportChange(this);
}

void TGLSceneBuffer::SetFogEnvironment(const TGLFogEnvironment& value) {
  FFogEnvironment->Assign(&value);
  ReportChange(this);
}

void TGLSceneBuffer::RecordView(const TMatrix4& modelViewMatrix, const TVector& cameraPosition) {
  FModelViewMatrix = modelViewMatrix;
  FCameraPosition = cameraPosition;
}

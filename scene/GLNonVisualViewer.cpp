#include "scene/GLNonVisualViewer.h"

#include "scene/gl/GLEGLContext.h"

#include <algorithm>
#include <vector>

void ApplyVSync(TGLContext& context, TVSyncMode mode) {
  int interval = 0;
  switch (mode) {
    case vsmSync: interval = 1; break;
    case vsmNoSync: interval = 0; break;
    default: AssertionFailure("ApplyVSync(): unknown vertical sync mode", __FILE__, __LINE__);
  }
  auto* eglContext = dynamic_cast<TGLEGLContext*>(&context);
  if (!GL->WS_swap_control || !eglContext || eglContext->IsPbuffer()) return;
  if (eglContext->SwapInterval() == interval) return;
  try {
    eglContext->SetSwapInterval(interval);
  } catch (const std::exception& e) {
    LogGLProblem(std::string("Vertical sync left as the driver has it: ") + e.what());
  }
}

TGLNonVisualViewer::TGLNonVisualViewer(TComponent* owner)
    : TComponent(owner), FBuffer(std::make_unique<TGLSceneBuffer>(this)) {
  FBuffer->OnChange = [this](TObject* sender) { BufferChanged(sender); };
  FBuffer->OnStructuralChange = [this](TObject* sender) { BufferStructureChanged(sender); };
  FBuffer->OnContextCreated = [this](TObject*) { SetupVSync(); };
}

TGLNonVisualViewer::~TGLNonVisualViewer() {
  BeginDestruction();
  FBuffer.reset();
}

void TGLNonVisualViewer::SetWidth(int value) {
  if (StoreChanged(FWidth, std::max(value, 1))) BufferStructureChanged(this);
}

void TGLNonVisualViewer::SetHeight(int value) {
  if (StoreChanged(FHeight, std::max(value, 1))) BufferStructureChanged(this);
}

void TGLNonVisualViewer::BufferChanged(TObject*) {}

void TGLNonVisualViewer::BufferStructureChanged(TObject*) { FBuffer->FreeRenderingContext(); }

void TGLNonVisualViewer::SetupVSync() {}

void TGLNonVisualViewer::CopyFrameToTexture(TGLTexture& texture) {
  CopyFrameToTexture(texture, 0, 0, FWidth, FHeight, 0, 0);
}

void TGLNonVisualViewer::CopyFrameToTexture(TGLTexture& texture, int xSrc, int ySrc, int width, int height,
                                            int xDest, int yDest) {
  if (!FBuffer->HasLiveContext()) return;
  // A frame is one picture; a cube map wants six, and GL would refuse the copy
  // with an error nobody hears.
  if (texture.Target() != GL_TEXTURE_2D)
    throw EOpenGLError("CopyFrameToTexture: the texture must be a 2-D texture, not a cube map (image class " +
                       texture.ImageClassName() + ")");
  if (width <= 0 || height <= 0) return;
  TGLContext& context = *FBuffer->RenderingContext();
  context.Activate();
  try {
    DrainGLErrors();
    texture.BindForFrameCopy();
    if (!texture.ImageSent()) {
      std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
      GL->glReadPixels(xSrc, ySrc, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      texture.TakeFrameImage(pixels.data(), width, height);
    } else {
      GL->glCopyTexSubImage2D(GL_TEXTURE_2D, 0, xDest, yDest, xSrc, ySrc, width, height);
    }
    RaiseOnGLError();
  } catch (...) {
    if (context.Active()) context.Deactivate();
    throw;
  }
  context.Deactivate();
}

void TGLMemoryViewer::Render() {
  TGLSceneBuffer& buffer = Buffer();
  if (!buffer.HasLiveContext()) {
    buffer.SetViewPort(0, 0, Width(), Height());
    buffer.CreateRenderingContext(0, true);
  }
  buffer.Render();
}

#pragma once
// Viewers without a window of their own. TGLNonVisualViewer owns a scene buffer
// and leaves where it draws to its subclasses; it also copies a drawn frame into
// a texture. TGLMemoryViewer draws off-screen at a fixed size, so that a second
// camera's view can be drawn and read back without being shown.
//
//   TGLMemoryViewer caster(nullptr);
//   caster.SetCamera(&lightCamera);
//   caster.SetWidth(512);
//   caster.Render();                  // makes its off-screen context the first time
//   caster.CopyFrameToTexture(texture);

#include "scene/GLSceneBuffer.h"
#include "scene/texture/GLTexture.h"

#include <cstdint>
#include <memory>

// Whether a window viewer waits for the display's vertical retrace between frames.
enum TVSyncMode : std::uint8_t { vsmSync, vsmNoSync };

// Sets the swap interval of `context`, current on the calling thread: 1 for
// vsmSync, 0 for vsmNoSync, only for a window context of a window system that
// offers swap control, and only when the interval differs. A driver that refuses
// is logged: the viewer draws all the same.
void ApplyVSync(TGLContext& context, TVSyncMode mode);

class TGLNonVisualViewer : public TComponent {
  BRV_CLASS(TGLNonVisualViewer, TComponent)

public:
  // 256 x 256; the buffer's change reports reach BufferChanged and
  // BufferStructureChanged, and SetupVSync runs in each new context.
  explicit TGLNonVisualViewer(TComponent* owner);
  ~TGLNonVisualViewer() override;

  TGLSceneBuffer& Buffer() const { return *FBuffer; }
  // Layouts fill the existing buffer; another buffer cannot be taken (the
  // assignment error).
  void SetBuffer(const TGLSceneBuffer& value) { FBuffer->Assign(&value); }
  TGLCamera* Camera() const { return FBuffer->Camera(); }
  void SetCamera(TGLCamera* camera) { FBuffer->SetCamera(camera); }

  // The frame's size; a change (raised to at least 1) makes the context again
  // at the next Render.
  int Width() const { return FWidth; }
  void SetWidth(int value);
  int Height() const { return FHeight; }
  void SetHeight(int value);

  // A redraw request of the buffer; nothing here.
  virtual void BufferChanged(TObject* sender);
  // The context must be made again: it is freed here.
  virtual void BufferStructureChanged(TObject* sender);
  // Draws one frame.
  virtual void Render() = 0;

  // Copies the whole frame into `texture` at (0, 0).
  void CopyFrameToTexture(TGLTexture& texture);
  // Copies width x height pixels from (xSrc, ySrc) of the frame (from the bottom
  // left) to (xDest, yDest) of a 2-D texture. A texture whose image was never
  // sent takes the pixels as its whole image. Nothing without a live context;
  // a cube map, or a copy GL refuses, raises EOpenGLError.
  void CopyFrameToTexture(TGLTexture& texture, int xSrc, int ySrc, int width, int height, int xDest, int yDest);

protected:
  // Called in each new context while it is current; nothing here.
  virtual void SetupVSync();

private:
  std::unique_ptr<TGLSceneBuffer> FBuffer;
  int FWidth = 256;
  int FHeight = 256;
};

// Draws into an off-screen buffer (an EGL pixel buffer) of Width x Height.
class TGLMemoryViewer : public TGLNonVisualViewer {
  BRV_CLASS(TGLMemoryViewer, TGLNonVisualViewer)

public:
  using TGLNonVisualViewer::TGLNonVisualViewer;
  // Without a context, makes the off-screen one at the viewer's size first.
  void Render() override;
};

#pragma once
// One frame of a scene on a real off-screen context, drawn by hand the way a
// viewer's frame goes: GL state, clear, projection and camera, lights, fog, then
// the scene's object tree. For tests that read back the pixels of a scene.
//
//   TSceneFrame frame(camera, 64, 64);   // the camera belongs to the scene to draw
//   frame.Render();
//   EXPECT_GT(frame.Pixel(32, 32)[0], 100);

#include "scene/GLSceneBuffer.h"
#include "tests/scene/support/OffscreenGL.h"

class TSceneFrame {
public:
  // A width x height off-screen context, owned by Buffer, which looks through `camera`.
  TSceneFrame(TGLCamera& camera, int width, int height);

  // One frame; raises EOpenGLError when GL reports an error.
  void Render();
  TRGBA Pixel(int x, int y) const { return FGL.Pixel(x, y); }
  std::vector<std::uint8_t> Pixels() const { return FGL.ReadPixels(); }

  bool Lighting = true;
  bool FogEnable = false;

private:
  TOffscreenGL FGL;  // made before the buffer, which takes its context

public:
  TGLSceneBuffer Buffer{nullptr};
};

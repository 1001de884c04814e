// A frame and a pick of the scene buffer on Mesa's software rasteriser: 32 lit,
// textured meshes of 5,000 triangles each, drawn by the memory viewer at
// 800 x 600 and 1024 x 768. Times are wall-clock (the rasteriser has threads of
// its own), each frame finished before the next.
//   ./build/bench/viewer_bench

#include <benchmark/benchmark.h>

#include "scene/GLNonVisualViewer.h"
#include "scene/GLSceneObjects.h"
#include "scene/gl/XOpenGL.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

constexpr int MESHES = 32;
constexpr int STACKS = 50, SLICES = 50;  // 2 x 50 x 50 = 5,000 triangles a mesh
constexpr float PI = 3.14159265f;

// A unit sphere of STACKS x SLICES quads as triangles, with normals and
// texture coordinates.
void EmitSphere(TObject*, TRenderContextInfo&) {
  auto vertex = [](int stack, int slice) {
    const float theta = PI * float(stack) / STACKS, phi = 2 * PI * float(slice) / SLICES;
    const float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
    GL->glNormal3f(x, y, z);
    xglTexCoord2f(float(slice) / SLICES, float(stack) / STACKS);
    GL->glVertex3f(x, y, z);
  };
  GL->glBegin(GL_TRIANGLES);
  for (int stack = 0; stack < STACKS; ++stack)
    for (int slice = 0; slice < SLICES; ++slice) {
      vertex(stack, slice);
      vertex(stack + 1, slice);
      vertex(stack + 1, slice + 1);
      vertex(stack, slice);
      vertex(stack + 1, slice + 1);
      vertex(stack, slice + 1);
    }
  GL->glEnd();
}

// A 64 x 64 checker of two colours.
void PaintChecker(TBitmap& bitmap) {
  bitmap.SetSize(64, 64, pf24bit);
  for (int y = 0; y < 64; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < 64; ++x) {
      const bool light = ((x / 8) + (y / 8)) % 2 == 0;
      row[x * 3 + 0] = light ? 230 : 40;
      row[x * 3 + 1] = light ? 200 : 60;
      row[x * 3 + 2] = light ? 160 : 120;
    }
  }
}

// Eight spheres a row, four rows, seen from above at an angle with a light on the camera.
struct TBenchScene {
  TBenchScene(int width, int height) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    TBitmap checker;
    PaintChecker(checker);
    for (int i = 0; i < MESHES; ++i) {
      auto& mesh = Scene.Objects().AddChild(std::make_unique<TDirectOpenGL>(nullptr));
      mesh.SetName("mesh" + std::to_string(i));
      mesh.OnRender = EmitSphere;
      mesh.SetUseBuildList(true);
      mesh.Position().SetPoint(float(i % 8) * 2.5f - 8.75f, 0, float(i / 8) * 2.5f - 3.75f);
      TGLTexture& texture = mesh.Material().Texture();
      texture.Image().Assign(&checker);
      texture.SetDisabled(false);
      mesh.Material().FrontProperties().Diffuse().SetColor({0.9f, 0.9f, 0.9f, 1});
      Meshes[i] = &mesh;
    }
    Camera.Position().SetPoint(0, 14, 16);
    Camera.SetFocalLength(75);
    Camera.SetTargetObject(Meshes[MESHES / 2 - 4]);
    Camera.AddChild(std::make_unique<TGLLightSource>(nullptr)).SetLightStyle(lsOmni);
    Viewer.SetWidth(width);
    Viewer.SetHeight(height);
    Viewer.SetCamera(&Camera);
    Viewer.Buffer().SetBackgroundColor(MakeRGB(20, 20, 30));
    Frame();  // makes the context, compiles the lists, uploads the textures
  }
  void Frame() {
    Viewer.Render();
    TGLContext& context = *Viewer.Buffer().RenderingContext();
    context.Activate();
    GL->glFinish();
    context.Deactivate();
  }

  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject* Meshes[MESHES] = {};
  TGLMemoryViewer Viewer{nullptr};
};

void BM_Frame(benchmark::State& state) {
  TBenchScene bench(int(state.range(0)), int(state.range(1)));
  for (auto _ : state) bench.Frame();
}

void BM_ObjectAtPixel(benchmark::State& state) {
  TBenchScene bench(int(state.range(0)), int(state.range(1)));
  const int x = int(state.range(0)) / 2, y = int(state.range(1)) / 2;
  TGLBaseSceneObject* picked = nullptr;
  for (auto _ : state) benchmark::DoNotOptimize(picked = bench.Viewer.Buffer().ObjectAtPixel(x, y));
  if (!picked) state.SkipWithError("nothing under the centre of the view");
}

BENCHMARK(BM_Frame)->Args({800, 600})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ObjectAtPixel)->Args({800, 600})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

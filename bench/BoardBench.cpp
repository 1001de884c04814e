// The board window's scene as the program builds it (the start position's 32 pieces
// from the generated models, the artistic board it starts with or the classic board
// with its first picture, the start camera with its light), drawn off screen by a memory viewer on Mesa's software
// rasteriser while the camera orbits the board one degree a frame, at 800 x 600 and
// 1024 x 768. Times are wall-clock, each frame finished before the next.
//   ./build/bench/board_bench

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "app/game/Game.h"
#include "app/scene/MainScene.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCamera.h"
#include "scene/GLNonVisualViewer.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"

namespace {

struct TBoardBench {
  TBoardBench(int width, int height, bool artistic) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    static const bool registered = [] {
      InitializePersistentClasses();
      InitializeVectorLists();
      InitializeGLObjects();
      InitializeGLGraph();
      InitializeVectorFileObjects();
      return true;
    }();
    (void)registered;
    Game.LoadFen(START_POSITION_FEN);
    Scene = std::make_unique<TBoardScene>(Folders);
    Viewer = std::make_unique<TGLMemoryViewer>(nullptr);
    Viewer->SetWidth(width);
    Viewer->SetHeight(height);
    Scene->AttachViewer(Viewer->Buffer());
    Scene->Camera->SetFocalLength(105);
    if (!Scene->LoadClassicPieces()) std::abort();
    Scene->ShowPosition(Game.Board());
    if (artistic) {
      Scene->ClassicBoard->SetVisible(false);
      if (!Scene->BuildArtisticBoard()) std::abort();
    } else {
      Scene->ShowClassicBoard();
      Scene->SetClassicBoardPicture(1);
    }
    Frame();  // makes the context, compiles the lists, uploads the textures
  }
  ~TBoardBench() {
    // The view goes before the scene it draws.
    Viewer.reset();
  }
  void Frame() {
    Scene->Camera->OrbitTarget(0, 1);
    Viewer->Render();
    TGLContext& context = *Viewer->Buffer().RenderingContext();
    context.Activate();
    GL->glFinish();
    context.Deactivate();
  }

  TProgramFolders Folders = TProgramFolders::Of(BRV_PROGRAM_FOLDER);
  TGame Game;
  std::unique_ptr<TBoardScene> Scene;
  std::unique_ptr<TGLMemoryViewer> Viewer;
};

void BM_BoardFrame(benchmark::State& state) {
  TBoardBench bench(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
  for (auto _ : state) bench.Frame();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BoardFrame)
    ->ArgNames({"width", "height", "artistic"})
    ->ArgsProduct({{800}, {600}, {1, 0}})
    ->ArgsProduct({{1024}, {768}, {1, 0}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

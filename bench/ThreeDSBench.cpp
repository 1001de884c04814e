// Loading a large 3DS file (about a million faces, generated at start and removed at
// the end) into a free form: our model tool's "info" against the model converter's
// "info", each as a whole process, and our reader and free form in this process.
//   ./build/bench/threeds_bench

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/PersistentClasses.h"
#include "base/Strings.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "meshes/threeds/File3DS.h"
#include "tools/threeds/Writer3DS.h"

namespace {

constexpr int FACES = 1000000;
const char* ORACLE = "/usr/bin/assimp";

class TLargeFile {
public:
  TLargeFile() {
    char pattern[] = "/tmp/brovanel-3ds-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
      std::perror("threeds_bench: no scratch folder");
      std::exit(1);
    }
    FDir = pattern;
    FName = JoinPath(FDir, "grid.3ds");
    TChunkWriter3DS writer;
    WriteModel3DS(writer, GridModel3DS(FACES));
    writer.SaveToFile(FName);
  }
  ~TLargeFile() {
    std::remove(FName.c_str());
    ::rmdir(FDir.c_str());
  }
  const std::string& Name() const { return FName; }

private:
  std::string FDir, FName;
};

const std::string& LargeFile() {
  static TLargeFile file;
  return file.Name();
}

void RunProcess(benchmark::State& state, const std::string& command) {
  LargeFile();
  for (auto _ : state)
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
      state.SkipWithError(("failed: " + command).c_str());
      break;
    }
}

void BM_OurToolInfo(benchmark::State& state) {
  RunProcess(state, std::string(BRV_MODEL_TOOL) + " info " + LargeFile());
}

void BM_OracleInfo(benchmark::State& state) {
  if (::access(ORACLE, X_OK) != 0) return state.SkipWithError("the model converter is not installed");
  RunProcess(state, std::string(ORACLE) + " info " + LargeFile());
}

void BM_OracleInfoRaw(benchmark::State& state) {
  if (::access(ORACLE, X_OK) != 0) return state.SkipWithError("the model converter is not installed");
  RunProcess(state, std::string(ORACLE) + " info " + LargeFile() + " -r");
}

void BM_OurReaderInProcess(benchmark::State& state) {
  TFileStream stream(LargeFile(), TFileMode::OpenRead);
  for (auto _ : state) {
    TFile3DS file;
    file.LoadFromStream(stream);
    std::size_t faces = 0;
    for (int i = 0; i < file.Objects().MeshCount(); ++i) faces += file.Objects().Mesh(i)->Faces.size();
    benchmark::DoNotOptimize(faces);
  }
}

void BM_OurFreeFormInProcess(benchmark::State& state) {
  InitializePersistentClasses();
  InitializeVectorLists();
  InitializeVectorFileObjects();
  TGLMaterialLibrary library(nullptr);
  TFreeForm form(nullptr);
  form.SetMaterialLibrary(&library);
  for (auto _ : state) {
    form.LoadFromFile(LargeFile());
    benchmark::DoNotOptimize(form.MeshObjects().TriangleCount());
  }
  state.counters["faces"] = form.MeshObjects().TriangleCount();
}

}  // namespace

BENCHMARK(BM_OurToolInfo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OracleInfo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OracleInfoRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OurReaderInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OurFreeFormInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();

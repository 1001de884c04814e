// Matrix product, matrix inverse, transforming and normalising arrays of 10,000
// points: ours on both vector paths, glm and Eigen, over the same data.
//   build/bench/geometry_bench

#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <glm/glm.hpp>

#include <cstring>
#include <random>
#include <vector>

#include "base/Geometry.h"

namespace {

constexpr int kMatrices = 1024;
constexpr int kPoints = 10000;

struct TData {
  std::vector<TMatrix4> Matrices;
  std::vector<TAffineVector> Points;

  TData() : Matrices(kMatrices), Points(kPoints) {
    std::mt19937 engine(42);
    std::uniform_real_distribution<float> value(-2, 2);
    for (TMatrix4& m : Matrices) {
      for (TVector& row : m.Rows) row = {value(engine), value(engine), value(engine), value(engine)};
      for (int i = 0; i < 4; ++i) m.Rows[i][i] += 5;  // well away from singular
    }
    for (TAffineVector& p : Points) p = {value(engine), value(engine), value(engine)};
  }
};

const TData& Data() {
  static const TData data;
  return data;
}

// The same numbers as glm and Eigen types.
template <class T>
std::vector<T> Converted(const auto& source) {
  std::vector<T> out(source.size());
  static_assert(sizeof(T) == sizeof(source[0]));
  std::memcpy(static_cast<void*>(out.data()), source.data(), source.size() * sizeof(T));
  return out;
}

void SetPath(benchmark::State& state) { FastVectorPath = state.range(0) != 0; }

// Times `body` over the output array `out` of `items` results per iteration.
template <class T, class F>
void Run(benchmark::State& state, std::vector<T>& out, int items, F body) {
  for (auto _ : state) {
    body();
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * items);
}

using TEigenMatrix = Eigen::Matrix<float, 4, 4, Eigen::RowMajor | Eigen::DontAlign>;
using TEigenVector = Eigen::Matrix<float, 3, 1, Eigen::DontAlign>;

void OursMultiply(benchmark::State& state) {
  SetPath(state);
  const auto& m = Data().Matrices;
  std::vector<TMatrix4> out(kMatrices);
  Run(state, out, kMatrices, [&] {
    for (int i = 0; i < kMatrices; ++i) out[i] = MatrixMultiply(m[i], m[(i + 1) % kMatrices]);
  });
}

void GlmMultiply(benchmark::State& state) {
  const auto m = Converted<glm::mat4>(Data().Matrices);
  std::vector<glm::mat4> out(kMatrices);
  // glm is column-major: the same numbers give the same product taken the other way round.
  Run(state, out, kMatrices, [&] {
    for (int i = 0; i < kMatrices; ++i) out[i] = m[(i + 1) % kMatrices] * m[i];
  });
}

void EigenMultiply(benchmark::State& state) {
  const auto m = Converted<TEigenMatrix>(Data().Matrices);
  std::vector<TEigenMatrix> out(kMatrices);
  Run(state, out, kMatrices, [&] {
    for (int i = 0; i < kMatrices; ++i) out[i].noalias() = m[i] * m[(i + 1) % kMatrices];
  });
}

void OursInvert(benchmark::State& state) {
  SetPath(state);
  std::vector<TMatrix4> out(kMatrices);
  Run(state, out, kMatrices, [&] {
    out = Data().Matrices;
    for (TMatrix4& m : out) MatrixInvert(m);
  });
}

void GlmInvert(benchmark::State& state) {
  const auto m = Converted<glm::mat4>(Data().Matrices);
  std::vector<glm::mat4> out(kMatrices);
  Run(state, out, kMatrices, [&] {
    out = m;
    for (glm::mat4& x : out) x = glm::inverse(x);
  });
}

void EigenInvert(benchmark::State& state) {
  const auto m = Converted<TEigenMatrix>(Data().Matrices);
  std::vector<TEigenMatrix> out(kMatrices);
  Run(state, out, kMatrices, [&] {
    out = m;
    for (TEigenMatrix& x : out) x = x.inverse().eval();
  });
}

void OursTransformPoints(benchmark::State& state) {
  SetPath(state);
  const TMatrix4 m = Data().Matrices[0];
  const auto& points = Data().Points;
  std::vector<TAffineVector> out(kPoints);
  Run(state, out, kPoints, [&] {
    for (int i = 0; i < kPoints; ++i) out[i] = Vec3TransformPoint(points[i], m);
  });
}

void GlmTransformPoints(benchmark::State& state) {
  const glm::mat4 m = Converted<glm::mat4>(Data().Matrices)[0];
  const auto points = Converted<glm::vec3>(Data().Points);
  std::vector<glm::vec3> out(kPoints);
  Run(state, out, kPoints, [&] {
    for (int i = 0; i < kPoints; ++i) out[i] = glm::vec3(m * glm::vec4(points[i], 1));
  });
}

void EigenTransformPoints(benchmark::State& state) {
  const Eigen::Matrix<float, 3, 4> top = Converted<TEigenMatrix>(Data().Matrices)[0].transpose().topRows<3>();
  const auto points = Converted<TEigenVector>(Data().Points);
  std::vector<TEigenVector> out(kPoints);
  Run(state, out, kPoints, [&] {
    for (int i = 0; i < kPoints; ++i) out[i].noalias() = top * points[i].homogeneous();
  });
}

void OursNormalize(benchmark::State& state) {
  SetPath(state);
  std::vector<TAffineVector> out(kPoints);
  Run(state, out, kPoints, [&] {
    out = Data().Points;
    Vec3ArrayNormalize(out.data(), kPoints);
  });
}

void GlmNormalize(benchmark::State& state) {
  const auto points = Converted<glm::vec3>(Data().Points);
  std::vector<glm::vec3> out(kPoints);
  Run(state, out, kPoints, [&] {
    out = points;
    for (glm::vec3& p : out) p = glm::normalize(p);
  });
}

void EigenNormalize(benchmark::State& state) {
  const auto points = Converted<TEigenVector>(Data().Points);
  std::vector<TEigenVector> out(kPoints);
  Run(state, out, kPoints, [&] {
    out = points;
    for (auto& p : out) p.normalize();
  });
}

}  // namespace

// Argument: the vector path, 0 plain, 1 packed.
BENCHMARK(OursMultiply)->Arg(0)->Arg(1);
BENCHMARK(GlmMultiply);
BENCHMARK(EigenMultiply);
BENCHMARK(OursInvert)->Arg(0)->Arg(1);
BENCHMARK(GlmInvert);
BENCHMARK(EigenInvert);
BENCHMARK(OursTransformPoints)->Arg(0)->Arg(1);
BENCHMARK(GlmTransformPoints);
BENCHMARK(EigenTransformPoints);
BENCHMARK(OursNormalize)->Arg(0)->Arg(1);
BENCHMARK(GlmNormalize);
BENCHMARK(EigenNormalize);

BENCHMARK_MAIN();

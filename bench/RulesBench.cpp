// Nanoseconds per call of the move-rules library's exports over the positions of
// the legal-move fixture: all of them, and the middle-game positions of its games.

#include <benchmark/benchmark.h>

#include <utility>

#include "LegalMovesFixture.h"
#include "utility.h"

namespace {

struct TBenchPosition {
  TBitBoards Board;
  int Side;
  int From;  // one legal move of the position, or an illegal one when there is none
  int To;
};

std::vector<TBenchPosition> Positions(bool middleGameOnly) {
  std::vector<TBenchPosition> positions;
  for (const TFixturePosition& position : ReadLegalMovesFixture(BRV_LEGAL_MOVES_FIXTURE)) {
    if (middleGameOnly && position.Tag != "middle") continue;
    // A legal move (the last in text order), so that the call has a candidate to try.
    auto [from, to] = position.Moves.empty() ? std::pair{0, 0} : MoveSquares(*position.Moves.rbegin());
    positions.push_back({position.Board, position.Side, from, to});
  }
  return positions;
}

void IsMateCall(benchmark::State& state, bool middleGameOnly) {
  const std::vector<TBenchPosition> positions = Positions(middleGameOnly);
  std::size_t i = 0;
  for (auto _ : state) {
    const TBenchPosition& position = positions[i];
    benchmark::DoNotOptimize(IsMate(position.Board, position.Side));
    i = i + 1 == positions.size() ? 0 : i + 1;
  }
}

void ControllaMossaCall(benchmark::State& state, bool middleGameOnly) {
  const std::vector<TBenchPosition> positions = Positions(middleGameOnly);
  std::size_t i = 0;
  for (auto _ : state) {
    const TBenchPosition& position = positions[i];
    benchmark::DoNotOptimize(ControllaMossa(position.Board, position.Side, position.From, position.To));
    i = i + 1 == positions.size() ? 0 : i + 1;
  }
}

}  // namespace

BENCHMARK_CAPTURE(IsMateCall, middle_game, true);
BENCHMARK_CAPTURE(IsMateCall, all_positions, false);
BENCHMARK_CAPTURE(ControllaMossaCall, middle_game, true);
BENCHMARK_CAPTURE(ControllaMossaCall, all_positions, false);

BENCHMARK_MAIN();

// Nanoseconds per call of the move-rules library's exports over the positions of
// the legal-move fixture: all of them, and the middle-game positions of its games.

#include <benchmark/benchmark.h>

#include <utility>

#include "app/game/utility.h"
#include "tests/rules/LegalMovesFixture.h"

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

// One call of `call` an iteration, on each position in turn.
template <class TCall>
void CallOnEachPosition(benchmark::State& state, bool middleGameOnly, TCall call) {
  const std::vector<TBenchPosition> positions = Positions(middleGameOnly);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(call(positions[i]));
    i = i + 1 == positions.size() ? 0 : i + 1;
  }
}

void IsMateCall(benchmark::State& state, bool middleGameOnly) {
  CallOnEachPosition(state, middleGameOnly,
                     [](const TBenchPosition& position) { return IsMate(position.Board, position.Side); });
}

void ControllaMossaCall(benchmark::State& state, bool middleGameOnly) {
  CallOnEachPosition(state, middleGameOnly, [](const TBenchPosition& position) {
    return ControllaMossa(position.Board, position.Side, position.From, position.To);
  });
}

}  // namespace

BENCHMARK_CAPTURE(IsMateCall, middle_game, true);
BENCHMARK_CAPTURE(IsMateCall, all_positions, false);
BENCHMARK_CAPTURE(ControllaMossaCall, middle_game, true);
BENCHMARK_CAPTURE(ControllaMossaCall, all_positions, false);

BENCHMARK_MAIN();

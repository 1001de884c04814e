#include "rules/check.h"

#include "rules/legality.h"
#include "rules/movegen.h"

namespace {

using namespace rules;

// The words of the exports' parameter lists, in order.
#define BRV_CHECK_WORDS(n) bb##n##Low, bb##n##High
#define BRV_CHECK_ALL_WORDS                                                                        \
  BRV_CHECK_WORDS(0), BRV_CHECK_WORDS(1), BRV_CHECK_WORDS(2), BRV_CHECK_WORDS(3), BRV_CHECK_WORDS(4), \
      BRV_CHECK_WORDS(5), BRV_CHECK_WORDS(6), BRV_CHECK_WORDS(7), BRV_CHECK_WORDS(8), BRV_CHECK_WORDS(9), \
      BRV_CHECK_WORDS(10), BRV_CHECK_WORDS(11)

void load_position(const std::uint32_t (&words)[24]) {
  for (int code = 0; code < 12; ++code)
    Position[code] = words[2 * code] | (TBitboard{words[2 * code + 1]} << 32);
}

// The legal moves of `side` (any nonzero value is light) into ply 0: those the
// filter lets through, in the generators' order, until it holds filter.Limit.
void generate_legal_moves(std::int32_t side, const TMoveFilter& filter) {
  int sideIndex = side != 0 ? LIGHT : DARK;
  CurrentPly = 0;
  MoveCount[0] = 0;
  gen_moves(NORMAL_MOVE, sideIndex, filter);
}

TBitboard square_set(std::int32_t square) { return square >= 0 && square < 64 ? SquareBit[square] : 0; }

}  // namespace

extern "C" std::int32_t controlla_mossa(std::int32_t side, std::int32_t from, std::int32_t to,
                                        BRV_CHECK_BITBOARDS) {
  const std::uint32_t words[24] = {BRV_CHECK_ALL_WORDS};
  load_position(words);
  // Only a move from `from` to `to` can match, and one legal one answers.
  generate_legal_moves(side, {.From = square_set(from), .To = square_set(to), .Limit = 1});
  TMoveRecord* moves = ply_moves(0);
  std::int32_t found = 0;
  for (int i = 0; i < MoveCount[0] && !found; ++i) {
    TMoveRecord& move = moves[i];
    // A castle is stored by its wing; the caller names it by the king's move.
    if (move.From == KING_SIDE || move.From == QUEEN_SIDE) {
      const TCastle& castle = castle_of(move.From, move.Side);
      move.From = static_cast<std::int8_t>(castle.KingFrom);
      move.To = static_cast<std::int8_t>(castle.KingTo);
    }
    found = move.From == from && move.To == to;
  }
  MoveCount[0] = 0;
  return found;
}

extern "C" std::int32_t is_mate(std::int32_t side, BRV_CHECK_BITBOARDS) {
  const std::uint32_t words[24] = {BRV_CHECK_ALL_WORDS};
  load_position(words);
  // The first legal move answers.
  generate_legal_moves(side, {.Limit = 1});
  return MoveCount[0] == 0 ? 1 : 0;
}

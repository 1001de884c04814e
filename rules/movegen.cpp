#include "rules/movegen.h"

#include <array>
#include <bit>

#include "rules/legality.h"

namespace rules {

namespace {

constexpr TBitboard H_FILE = 0x0101010101010101ull;
constexpr TBitboard A_FILE = H_FILE << 7;

// The filter of the current generator run.
TMoveFilter Filter;

bool ply_full() { return MoveCount[CurrentPly] >= Filter.Limit; }

// Calls `visit` for each square of `set`, lowest first, until the run's ply is full.
template <class TVisit>
void for_each_square(TBitboard set, TVisit visit) {
  for (; set && !ply_full(); set &= set - 1) visit(std::countr_zero(set));
}

void offer_targets(int kind, int piece, int from, TBitboard targets) {
  if (!(Filter.From & SquareBit[from])) return;
  for_each_square(targets & Filter.To, [&](int to) { add_move(kind, from, to, piece); });
}

// Pawn moves come as a set of targets that all lie `delta` away from their origins.
void offer_from_delta(int kind, int piece, TBitboard targets, int delta) {
  TBitboard origins = Filter.From;
  targets &= Filter.To & (delta > 0 ? origins << delta : origins >> -delta);
  for_each_square(targets, [&](int to) { add_move(kind, to - delta, to, piece); });
}

// Each piece of the bitboard `piece` that the filter lets through, lowest square
// first, with the targets `targetsOf` gives it.
template <class TTargets>
void offer_pieces(int kind, int piece, TTargets targetsOf) {
  for_each_square(Position[piece] & Filter.From, [&](int from) { offer_targets(kind, piece, from, targetsOf(from)); });
}

// Starts a generator run; false when it has nothing to offer: the side has no
// king, or the ply is already full.
bool start_run(int side, const TMoveFilter& filter) {
  SideToMove = side;
  Opponent = 1 - side;
  Occupancy = all_occupancy();
  Filter = filter;
  if (!Position[KING + side] || ply_full()) return false;
  watch_kings(side);
  return true;
}

TBitboard straight_captures(int square, TBitboard enemies) {
  TBitboard targets = 0;
  if (RankMask[square] & enemies) targets |= rank_targets(CapturePattern, Occupancy, square);
  if (FileMask[square] & enemies) targets |= file_targets(CapturePattern, Occupancy, square);
  return targets & enemies;
}

TBitboard diagonal_captures(int square, TBitboard enemies) {
  TBitboard targets = 0;
  if (Diag7Mask[square] & enemies) targets |= diag7_targets(CapturePattern, Occupancy, square);
  if (Diag9Mask[square] & enemies) targets |= diag9_targets(CapturePattern, Occupancy, square);
  return targets & enemies;
}

// A line whose neighbouring squares are all taken offers no quiet move.
TBitboard straight_quiet_moves(int square) {
  TBitboard targets = 0;
  if (Neighbours1[square] & ~Occupancy) targets |= rank_targets(QuietPattern, Occupancy, square);
  if (Neighbours8[square] & ~Occupancy) targets |= file_targets(QuietPattern, Occupancy, square);
  return targets;
}

TBitboard diagonal_quiet_moves(int square) {
  TBitboard targets = 0;
  if (Neighbours7[square] & ~Occupancy) targets |= diag7_targets(QuietPattern, Occupancy, square);
  if (Neighbours9[square] & ~Occupancy) targets |= diag9_targets(QuietPattern, Occupancy, square);
  return targets;
}

struct TPawnStep {
  TBitboard Targets;
  int Delta;  // target - origin
};

// The two diagonal steps of `side`'s pawns onto `targets`: +7 then +9 for light,
// -7 then -9 for dark. A shift may not carry a pawn round from one edge file to
// the other.
std::array<TPawnStep, 2> pawn_steps(int side, TBitboard pawns, TBitboard targets) {
  if (side == LIGHT) return {{{((pawns & ~H_FILE) << 7) & targets, 7}, {((pawns & ~A_FILE) << 9) & targets, 9}}};
  return {{{(pawns >> 7) & ~H_FILE & targets, -7}, {(pawns >> 9) & ~A_FILE & targets, -9}}};
}

void gen_pawn_captures(int kind, int side, TBitboard enemies) {
  TBitboard pawns = Position[PAWN + side];
  for (const TPawnStep& step : pawn_steps(side, pawns, enemies)) offer_from_delta(kind, PAWN + side, step.Targets, step.Delta);
  // The pawn that has just made a double step is taken from beside it.
  int passed = EnPassantSquare;
  if (passed >= 8 && passed < 56 && (pawns & RankMask[passed] & AdjacentFileMask[passed % 8])) {
    int target = side == LIGHT ? passed + 8 : passed - 8;
    for (const TPawnStep& step : pawn_steps(side, pawns, SquareBit[target])) {
      if (!step.Targets || ply_full()) continue;
      print_board();
      offer_from_delta(EN_PASSANT, PAWN + side, step.Targets, step.Delta);
    }
  }
  EnPassantSquare = -1;
}

void gen_pawn_pushes(int kind, int side) {
  TBitboard pawns = Position[PAWN + side];
  TBitboard empty = ~Occupancy;
  if (side == LIGHT) {
    if (pawns & StartRankMask[side])
      offer_from_delta(kind, PAWN + side, ((((pawns & StartRankMask[side]) << 8) & empty) << 8) & empty, 16);
    offer_from_delta(kind, PAWN + side, (pawns << 8) & empty, 8);
  } else {
    if (pawns & StartRankMask[side])
      offer_from_delta(kind, PAWN + side, ((((pawns & StartRankMask[side]) >> 8) & empty) >> 8) & empty, -16);
    offer_from_delta(kind, PAWN + side, (pawns >> 8) & empty, -8);
  }
}

// No castling rights are kept: a castle is offered whenever the board allows it.
void gen_castles(int side) {
  for (int wing : {KING_SIDE, QUEEN_SIDE}) {
    const TCastle& castle = castle_of(wing, side);
    if (!(Filter.From & SquareBit[castle.KingFrom]) || !(Filter.To & SquareBit[castle.KingTo]) || ply_full()) continue;
    if (!(Position[KING + side] & SquareBit[castle.KingFrom])) continue;
    if (!(Position[ROOK + side] & SquareBit[castle.RookFrom])) continue;
    if (Occupancy & castle.MustBeEmpty) continue;
    bool safe = true;
    for (int square : castle.MustBeSafe) safe = safe && !square_attacked(side, square);
    if (safe) add_move(CASTLE, wing, castle.KingTo);
  }
}

void captures(int kind, int side) {
  TBitboard enemies = side_occupancy(Opponent);
  if (Position[PAWN + side]) gen_pawn_captures(kind, side, enemies);
  offer_pieces(kind, KNIGHT + side, [&](int s) { return KnightAttacks[s] & enemies; });
  offer_pieces(kind, BISHOP + side, [&](int s) { return diagonal_captures(s, enemies); });
  offer_pieces(kind, ROOK + side, [&](int s) { return straight_captures(s, enemies); });
  offer_pieces(kind, QUEEN + side, [&](int s) { return straight_captures(s, enemies); });
  offer_pieces(kind, QUEEN + side, [&](int s) { return diagonal_captures(s, enemies); });
  int kingSquare = lowest_bit(Position[KING + side]);
  offer_targets(kind, KING + side, kingSquare, KingAttacks[kingSquare] & enemies);
}

void quiet_moves(int kind, int side) {
  gen_castles(side);
  offer_pieces(kind, BISHOP + side, diagonal_quiet_moves);
  offer_pieces(kind, ROOK + side, straight_quiet_moves);
  offer_pieces(kind, QUEEN + side, straight_quiet_moves);
  offer_pieces(kind, QUEEN + side, diagonal_quiet_moves);
  if (Position[PAWN + side]) gen_pawn_pushes(kind, side);
  offer_pieces(kind, KNIGHT + side, [](int s) { return KnightAttacks[s] & ~Occupancy; });
  int kingSquare = lowest_bit(Position[KING + side]);
  offer_targets(kind, KING + side, kingSquare, KingAttacks[kingSquare] & ~Occupancy);
}

}  // namespace

void gen_captures(int kind, int side, const TMoveFilter& filter) {
  if (start_run(side, filter)) captures(kind, side);
}

void gen_quiet_moves(int kind, int side, const TMoveFilter& filter) {
  if (start_run(side, filter)) quiet_moves(kind, side);
}

void gen_moves(int kind, int side, const TMoveFilter& filter) {
  if (!start_run(side, filter)) return;
  captures(kind, side);
  if (!ply_full()) quiet_moves(kind, side);
}

}  // namespace rules

#pragma once
// The move generators of the move-rules library: every pseudo-legal move of one
// side in the static position goes to add_move, which keeps the legal ones.

#include "rules/storage.h"

namespace rules {

// Which candidates a generator run offers add_move, and when it stops. Whoever
// asks about one move, or about whether there is any move at all, needs to try
// no other candidate; the order of what is offered stays the generators' own.
struct TMoveFilter {
  TBitboard From = ~TBitboard{0};  // origins offered; a castle counts as its king's move
  TBitboard To = ~TBitboard{0};    // targets offered
  int Limit = MAX_PLY_MOVES;       // the run stops once the current ply holds this many records
};

inline constexpr TMoveFilter EVERY_MOVE{};

// Captures, in the order pawns (en passant last), knights, bishops, rooks, queens
// (rank and file, then diagonals), king. Sets SideToMove, Opponent and Occupancy;
// does nothing when `side` has no king. `kind` is the kind given to ordinary moves.
void gen_captures(int kind, int side, const TMoveFilter& filter = EVERY_MOVE);

// Quiet moves, in the order castles, bishops, rooks, queens (rank and file, then
// diagonals), pawns (double pushes, then single pushes), knights, king. Sets the
// sides and Occupancy; does nothing when `side` has no king.
void gen_quiet_moves(int kind, int side, const TMoveFilter& filter = EVERY_MOVE);

// gen_captures, then gen_quiet_moves, in one run: the position and both kings are
// looked at once for the two.
void gen_moves(int kind, int side, const TMoveFilter& filter = EVERY_MOVE);

}  // namespace rules

#pragma once
// The move generators of the move-rules library: every pseudo-legal move of one
// side in the static position goes to add_move, which keeps the legal ones.

namespace rules {

// Captures, in the order pawns (en passant last), knights, bishops, rooks, queens
// (rank and file, then diagonals), king. Sets SideToMove, Opponent and Occupancy;
// does nothing when `side` has no king. `kind` is the kind given to ordinary moves.
void gen_captures(int kind, int side);

// Quiet moves, in the order castles, bishops, rooks, queens (rank and file, then
// diagonals), pawns (double pushes, then single pushes), knights, king. Sets the
// sides and Occupancy; does nothing when `side` has no king.
void gen_quiet_moves(int kind, int side);

}  // namespace rules

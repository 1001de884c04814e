#pragma once
// The legality filter of the move-rules library: every candidate move is tried on
// the static position and stored only when it leaves the mover's king safe. Also
// the attack test, castle make and unmake, and a diagnostic board printer.

#include "rules/storage.h"

namespace rules {

// A castle: the king's and the rook's squares before and after, the squares that
// must be empty and the squares the king may not stand on or cross.
struct TCastle {
  int KingFrom;
  int KingTo;
  int RookFrom;
  int RookTo;
  TBitboard MustBeEmpty;
  int MustBeSafe[3];
};

// `wing` is KING_SIDE or QUEEN_SIDE, `side` 0 (dark) or 1 (light).
const TCastle& castle_of(int wing, int side);

// Notes, before a generator run tries its moves, which moves of `side` could
// expose its king or check the opponent's; add_move relies on it.
void watch_kings(int side);

// Tries the candidate and appends it to the current ply's list unless it leaves
// the mover (SideToMove) in check. Only inside a generator run (watch_kings).
void add_move(int kind, int from, int to);
// The same for a move of the generator's piece `piece` (a piece code).
void add_move(int kind, int from, int to, int piece);

// 0: legal; 1: leaves side's king attacked; 2: legal and attacks the opponent's
// king. The position is unchanged afterwards.
int try_move(int from, int to, int kind, int side);

void make_castle(int wing, int side);
void unmake_castle(int wing, int side);

// 1 when a piece of the opponent of `side` attacks `square` (0-63), occupied or not.
int square_attacked(int side, int square);

// The ordering score of a normal or en passant move (wrapping 32-bit arithmetic).
int move_score(int kind, int from, int to, bool givesCheck);

// The placement of the static position, ranks 8 to 1, then " w ".
inline constexpr int FEN_TEXT_SIZE = 64 + 7 + 3 + 1;
void position_to_fen(char (&text)[FEN_TEXT_SIZE]);

// Writes a diagram of the static position and its placement to standard output.
void print_board();

}  // namespace rules

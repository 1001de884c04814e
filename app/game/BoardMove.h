#pragma once
// A square and a move in board coordinates, and what a move did besides moving its
// piece. Rows are the ranks 1-8; columns run from the h-file (1) to the a-file (8), as
// the board window lays out the squares.
//
//   TBoardMove move{{2, 4}, {4, 4}};   // e2e4
//   move.From.Index()                   // 11, the square's bit in the bitboards
//   move.To.Name()                      // "e4"

#include <string>

#include "app/game/maindefine.h"

// A square: (row, column) in board coordinates, or off the board.
struct TSquare {
  int Row = 0;
  int Col = 0;

  bool OnBoard() const { return Row >= 1 && Row <= 8 && Col >= 1 && Col <= 8; }
  // The square's number in the bitboards: 8 * (Row - 1) + Col - 1, so h1 = 0, a1 = 7,
  // a8 = 63. Raises EIntOverflow where the sum does not fit an int.
  int Index() const;
  // The square of a bitboard number 0-63.
  static TSquare OfIndex(int index) { return {index / 8 + 1, index % 8 + 1}; }
  // "e2"; empty off the board.
  std::string Name() const;
  bool operator==(const TSquare&) const = default;
};

// A move from one square to another. Promotion is the piece letter a pawn becomes on
// the last rank ('q', 'r', 'b', 'n'), or 0 for the default, a queen.
struct TBoardMove {
  TSquare From;
  TSquare To;
  char Promotion = 0;
  bool operator==(const TBoardMove&) const = default;
};

// What a move did besides moving its piece; squares off the board (the default) where
// nothing happened. The board window moves the models by it.
struct TMoveEffects {
  TSquare RookFrom;  // a castle: where its rook went from and to
  TSquare RookTo;
  TSquare Taken;  // en passant: the square of the pawn taken
  int Promoted = EMPTY_SQUARE;  // the code of the piece a pawn became
  bool operator==(const TMoveEffects&) const = default;
};

#pragma once
// Queries on the shared position, FEN placement text in and out, the move text of
// the Winboard protocol, and applying an accepted move to the bitboards.
// Every routine exists in two forms: on a given position, and on the shared
// `BitBoards`.

#include <array>
#include <string>
#include <string_view>

#include "app/maindefine.h"
#include "rules/check.h"

// The program's start position.
inline constexpr char START_POSITION_FEN[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq - 0 1";

// The piece codes of the 64 squares in FEN text order: entry 0 = a8, entry 63 = h1.
using TFenSquares = std::array<int, 64>;

// The code of `side`'s piece on `square` (0-63), or EMPTY_SQUARE. A square outside
// 0-63 is an assertion failure whose message is the square.
int PieceOfSide(const TBitBoards& board, int side, int square);
int PieceOfSide(int side, int square);

// Square of (column 1-8 from the h-file, row 1-8): 8 * (row - 1) + column - 1.
int SquareIndex(int column, int row);

// The letter of a piece code ("pPrRbBnNkKqQ"), '-' for EMPTY_SQUARE, '?' otherwise.
char PieceToChar(int code);

// The piece on `square`: the dark one if any, else the light one, else EMPTY_SQUARE.
// Two pieces on one square report "errore get_case_occupate" (the dark one wins).
int PieceCodeOnSquare(const TBitBoards& board, int square);
int PieceCodeOnSquare(int square);

// Reads the placement field of a FEN text (anything after the 64th square is not
// read). On success replaces `board` (and fills `squares` when given) and returns
// true; on a bad character, an empty or short text or a digit running past the
// last square reports "Bad FEN position format." and returns false, leaving
// `board` and `squares` untouched.
bool ParseFenPlacement(std::string_view text, TBitBoards& board, TFenSquares* squares = nullptr);
bool ParseFenPlacement(std::string_view text, TFenSquares* squares = nullptr);

// The placement as the program writes it: ranks 8 to 1, each followed by "/",
// e.g. "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/".
std::string FenPlacementText(const TBitBoards& board);
// The clipboard form: placement + " w KQkq - 0 1".
std::string FenClipboardText(const TBitBoards& board);
// The position-file form: placement + " w - - 0 1" + CR LF.
std::string FenFileText(const TBitBoards& board);

// Column 1-8 to its file letter ("h" to "a"); empty for any other column.
std::string ColumnToFileLetter(int column);
// File letter 'a'-'h' to its column (8 to 1); 0 for any other letter.
int FileLetterToColumn(char letter);
// The move text "e2e4" of a move. Mind the order: the target column comes before its row.
std::string MoveToText(int fromRow, int fromCol, int toCol, int toRow);

// A move in board coordinates: rows are ranks 1-8, columns run from the h-file (1)
// to the a-file (8). Promotion is the piece letter a pawn becomes on the last rank
// ('q', 'r', 'b', 'n'), or 0 for the default, a queen.
struct TBoardMove {
  int FromRow = 0;
  int FromCol = 0;
  int ToRow = 0;
  int ToCol = 0;
  char Promotion = 0;
};

// Parses "e2e4" or, with a promotion piece, "e7e8q". Returns false for anything
// else (wrong length, squares outside a1-h8, another fifth letter).
bool ParseMoveText(std::string_view text, TBoardMove& move);

// Any side may move (for ApplyMoveToBitboards' `side`).
inline constexpr int ANY_SIDE = -1;

// Why ApplyMoveToBitboards refused a move, or that it applied it.
enum class TMoveResult { Applied, OffBoard, NoPiece, WrongSide, OwnPiece };

// The text that reports a refusal, e.g. "Illegal move e2e4: no piece on e2".
std::string MoveResultText(TMoveResult result, const TBoardMove& move);

// Applies a move that has been accepted: the mover leaves its square and the piece on
// the target leaves the board. A king going two columns from its start square castles
// and takes the corner rook along when that rook is there and the square it goes to is
// free; a pawn reaching the last rank is promoted; a pawn moving diagonally onto an
// empty square takes the pawn it passed (en passant). A move onto its own square
// changes nothing.
// Refuses, changing nothing, squares outside 1-8, an empty from-square, a mover not
// of `side` (unless ANY_SIDE) and a capture of one's own piece.
TMoveResult ApplyMoveToBitboards(TBitBoards& board, const TBoardMove& move, int side = ANY_SIDE);

// The same on the shared position; a refusal is reported as a message.
bool ApplyMoveToBitboards(int fromRow, int fromCol, int toRow, int toCol);

// The move-rules library on a position: `side` nonzero is light. ControllaMossa
// is true when from -> to (squares 0-63) is a legal move of side; IsMate is true
// when side has no legal move. Calls must not overlap (the library's working
// storage is static).
bool ControllaMossa(const TBitBoards& board, int side, int from, int to);
bool ControllaMossa(int side, int from, int to);
bool IsMate(const TBitBoards& board, int side);
bool IsMate(int side);

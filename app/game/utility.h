#pragma once
// Queries on a position, FEN text in and out, the move text of the Winboard protocol
// and the lines that set up a position there, and applying an accepted move to the
// bitboards. Every routine works on the position it is given; TGame (Game.h) applies
// them to the game on the board.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/BoardMove.h"
#include "app/game/maindefine.h"
#include "rules/check.h"

// The program's start position.
inline constexpr char START_POSITION_FEN[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The piece codes of the 64 squares in FEN text order: entry 0 = a8, entry 63 = h1.
using TFenSquares = std::array<int, 64>;

// The code of `side`'s piece on `square` (0-63), or EMPTY_SQUARE. A square outside
// 0-63 is an assertion failure whose message is the square.
int PieceOfSide(const TBitBoards& board, TSide side, int square);

// The letter of a piece code ("pPrRbBnNkKqQ"), '-' for EMPTY_SQUARE, '?' otherwise.
char PieceToChar(int code);

// The piece on `square`: the dark one if any, else the light one, else EMPTY_SQUARE.
// Two pieces on one square report "errore get_case_occupate" (the dark one wins).
int PieceCodeOnSquare(const TBitBoards& board, int square);

// Reads the placement field of a FEN text (anything after the 64th square is not
// read). On success replaces `board` (and fills `squares` when given) and returns
// true; on a bad character, an empty or short text or a digit running past the
// last square reports "Bad FEN position format." and returns false, leaving
// `board` and `squares` untouched.
bool ParseFenPlacement(std::string_view text, TBitBoards& board, TFenSquares* squares = nullptr);

// `text` without the UTF-8 byte order mark (EF BB BF) that some editors write at the
// start of a text file; any other text whole.
std::string_view WithoutByteOrderMark(std::string_view text);

// The placement: ranks 8 to 1 with "/" between them,
// e.g. "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR".
std::string FenPlacementText(const TBitBoards& board);
// The fields after the placement: side to move, castles, en passant square, the
// half-move clock and the full-move number: "w KQkq - 0 1", "b Kq e3 0 12".
std::string FenFieldsText(const TGameRights& rights);
// The clipboard form: placement + " " + FenFieldsText.
std::string FenClipboardText(const TBitBoards& board, const TGameRights& rights);
// The position-file form: placement + " " + FenFieldsText + CR LF.
std::string FenFileText(const TBitBoards& board, const TGameRights& rights);

// Column 1-8 to its file letter ("h" to "a"); empty for any other column.
std::string ColumnToFileLetter(int column);
// File letter 'a'-'h' to its column (8 to 1); 0 for any other letter.
int FileLetterToColumn(char letter);
// The move text of the Winboard protocol: "e2e4", and with a promotion its letter in
// lower case, "e7e8q".
std::string MoveToText(const TBoardMove& move);

// Parses "e2e4" or, with a promotion piece, "e7e8q". Returns false for anything
// else (wrong length, squares outside a1-h8, another fifth letter).
bool ParseMoveText(std::string_view text, TBoardMove& move);

// Any side may move (for ApplyMoveToBitboards' `side`).
inline constexpr std::optional<TSide> ANY_SIDE = std::nullopt;

// Why ApplyMoveToBitboards refused a move, or that it applied it.
enum class TMoveResult { Applied, OffBoard, NoPiece, WrongSide, OwnPiece, TakesKing };

// The text that reports a refusal, e.g. "Illegal move e2e4: no piece on e2".
std::string MoveResultText(TMoveResult result, const TBoardMove& move);

// Applies a move that has been accepted: the mover leaves its square and the piece on
// the target leaves the board. A king going two columns from its start square castles
// and takes the corner rook along when that rook is there and the square it goes to is
// free; a pawn reaching the last rank is promoted; a pawn moving diagonally onto an
// empty square takes the pawn it passed (en passant). A move onto its own square
// changes nothing. `effects`, when given, says what happened besides.
// Refuses, changing nothing, squares outside 1-8, an empty from-square, a mover not
// of `side` (unless ANY_SIDE), a capture of one's own piece and a capture of a king.
TMoveResult ApplyMoveToBitboards(TBitBoards& board, const TBoardMove& move, std::optional<TSide> side = ANY_SIDE,
                                 TMoveEffects* effects = nullptr);

// ApplyMoveToBitboards, and `rights` follow the move: the other side is to move, a
// king that moves loses both castles, a rook that moves or is taken loses its own, a
// pawn's double step leaves the square it passed over for en passant (any other move
// clears it), the half-move clock goes back to 0 on a capture or a pawn move and up by
// one on any other, and the full-move number goes up after dark's move. The engine's
// moves come this way.
TMoveResult ApplyGameMove(TBitBoards& board, TGameRights& rights, const TBoardMove& move, std::optional<TSide> side,
                          TMoveEffects* effects = nullptr);

// The side to move and the rights of a position given as FEN text, from the fields
// after its placement: dark to move for "b", else light; the castling field when the
// text has one ("KQkq", "Qk", "-"), else every castle whose king and rook stand at home
// on `board`, and either way without a castle whose king or rook is not at home; the en
// passant square when the field names one that a pawn of the side not to move has just
// passed over ("e3" behind a light pawn on e4 with dark to move), else none; the
// half-move clock (0 to MAX_MOVE_COUNTER) and the full-move number (1 to
// MAX_MOVE_COUNTER) when the fields give them, else 0 and 1. A placement that ends in
// "/", as the program wrote it once, is read as well.
TGameRights RightsOfFen(std::string_view text, const TBitBoards& board);

// The FEN text of a position as engines read it: the clipboard's form.
std::string FenEngineText(const TBitBoards& board, const TGameRights& rights);

// The lines that give a Winboard engine a position and leave it in force mode, where
// "go" makes it play the side to move: "new", "force", "setboard " + FenEngineText; or,
// for an engine that takes no "setboard", in the older edit mode: "new", "force",
// "a2a3" when dark is to move (edit mode keeps the side to move, and a first move
// makes it dark's), "edit", "#" (an empty board), the light pieces ("Ke1", "Pe2"),
// "c", the dark pieces, ".". Edit mode has no en passant square, and there the engine
// takes the castles whose king and rook stand at home.
std::vector<std::string> EnginePositionCommands(const TBitBoards& board, const TGameRights& rights, bool editMode);

// Whether `side` may make `move`: the rules library's verdict, which knows neither
// castling rights nor the last move, with a castle allowed only while its right holds,
// and a pawn's diagonal step onto the en passant square judged as the same capture on a
// copy where the passed pawn stands on that square (the position after it is the same).
// A move onto a king is never legal.
bool IsLegalUserMove(const TBitBoards& board, const TGameRights& rights, const TBoardMove& move, TSide side);

// What the user's move did.
struct TUserMove {
  bool Legal = false;
  std::string Text;  // the move for the engine: "e2e4", "e1g1", "e5d6", "a7a8q"
  TMoveEffects Effects;
};

// The user asks to move `side`'s piece from one square to another: the board window's
// entry point for a drop. A legal move (IsLegalUserMove) is applied with its rights
// (ApplyGameMove); a pawn reaching the last rank becomes the piece `move` names, or a
// queen. An illegal one changes nothing.
TUserMove PlayUserMove(TBitBoards& board, TGameRights& rights, const TBoardMove& move, TSide side);

// The move-rules library on a position, with its own numbering of the sides: `side`
// nonzero is light (SideIndex). ControllaMossa is true when from -> to (squares 0-63)
// is a legal move of side; IsMate is true when side has no legal move. Calls must not
// overlap (the library's working storage is static).
bool ControllaMossa(const TBitBoards& board, int side, int from, int to);
bool IsMate(const TBitBoards& board, int side);
// The same with en passant, which the library does not see: a side whose one move
// left takes en passant is not mate.
bool IsMate(const TBitBoards& board, const TGameRights& rights, TSide side);

// RightsOfFen for a position taken from a file or the clipboard to play on. Every
// position file written before the side to move was kept ends in " w - - 0 1" whoever
// was to move: in such a text a dark king in check means dark is to move, as after a
// check given by light.
TGameRights PlayRightsOfFen(std::string_view text, const TBitBoards& board);

// True when a piece of `bySide` attacks `square` (0-63): a pawn, knight or king by its
// step, a bishop, rook or queen along a line no piece blocks. A pinned piece attacks
// too, as it gives check.
bool SquareAttacked(const TBitBoards& board, int square, TSide bySide);
// True when `side`'s king stands attacked by the other side; false without a king.
bool InCheck(const TBitBoards& board, TSide side);

// Why no game can reach `board` with `sideToMove` to move, or empty when nothing
// rules it out: a side without a king or with more than one, more than 8 pawns or 16
// pieces, more queens, rooks, bishops and knights than its missing pawns could have
// become, a pawn on the first or last rank, or the side not to move in check, e.g.
// "dark's king on e8 is in check while light is to move".
std::string ImpossiblePositionText(const TBitBoards& board, TSide sideToMove);

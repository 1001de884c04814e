#include "app/game/utility.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <utility>
#include <vector>

#include "base/Dialogs.h"
#include "base/Exceptions.h"

namespace {

constexpr char PIECE_LETTERS[] = "pPrRbBnNkKqQ";
constexpr char BAD_FEN_TEXT[] = "Bad FEN position format.";

int PieceCodeOfLetter(char letter) {
  for (int code = 0; code < 12; ++code)
    if (PIECE_LETTERS[code] == letter) return code;
  return EMPTY_SQUARE;
}

void CheckSquare(int square) {
  if (square < 0 || square > 63) throw ERangeError("Square " + std::to_string(square) + " is off the board");
}

// The squares that hold any piece.
std::uint64_t Occupancy(const TBitBoards& board) {
  std::uint64_t occupied = 0;
  for (std::uint64_t bitboard : board) occupied |= bitboard;
  return occupied;
}

bool OnBoard(int coordinate) { return coordinate >= 1 && coordinate <= 8; }

bool AllOnBoard(const TBoardMove& move) { return move.From.OnBoard() && move.To.OnBoard(); }

bool IsPawn(int code) { return code == DARK_PAWN || code == LIGHT_PAWN; }

// A king going two columns along its home rank from the e-file.
bool IsCastleMove(int mover, const TBoardMove& move) {
  if (mover != DARK_KING && mover != LIGHT_KING) return false;
  int homeRow = SideOfPiece(mover) == TSide::Light ? 1 : 8;
  return move.From == TSquare{homeRow, 4} && move.To.Row == homeRow && (move.To.Col == 2 || move.To.Col == 6);
}

// Each castle: its right, its letter in a FEN castling field, its side, and the
// start squares of its king and rook.
struct TCastleHome {
  unsigned Right;
  char Letter;
  TSide Side;
  int King;
  int Rook;
};
constexpr TCastleHome CASTLE_HOMES[] = {
    {LIGHT_KING_SIDE_CASTLE, 'K', TSide::Light, 3, 0},   // e1, h1
    {LIGHT_QUEEN_SIDE_CASTLE, 'Q', TSide::Light, 3, 7},  // e1, a1
    {DARK_KING_SIDE_CASTLE, 'k', TSide::Dark, 59, 56},   // e8, h8
    {DARK_QUEEN_SIDE_CASTLE, 'q', TSide::Dark, 59, 63},  // e8, a8
};

// The right of a king's castling move (IsCastleMove): to the g-file the king side.
unsigned CastleRight(TSide side, int toCol) {
  for (const TCastleHome& home : CASTLE_HOMES)
    if (home.Side == side && (home.Rook % 8 == 0) == (toCol == 2)) return home.Right;
  return 0;
}

// The castles that a move from or onto `square` ends: the king's start square ends
// both of its side, a corner ends the castle of its rook.
unsigned CastlesEndedAt(int square) {
  unsigned ended = 0;
  for (const TCastleHome& home : CASTLE_HOMES)
    if (square == home.King || square == home.Rook) ended |= home.Right;
  return ended;
}

// The castles whose king and rook stand at home.
unsigned CastlesAtHome(const TBitBoards& board) {
  unsigned atHome = 0;
  for (const TCastleHome& home : CASTLE_HOMES)
    if ((board[DARK_KING + SideIndex(home.Side)] & SquareBit[home.King]) &&
        (board[DARK_ROOK + SideIndex(home.Side)] & SquareBit[home.Rook]))
      atHome |= home.Right;
  return atHome;
}

// The castles a FEN castling field names ("KQkq", "-"); false when the text is none.
bool CastlesOfField(std::string_view field, unsigned& castles) {
  castles = 0;
  if (field == "-") return true;
  for (char letter : field) {
    const TCastleHome* named = nullptr;
    for (const TCastleHome& home : CASTLE_HOMES)
      if (home.Letter == letter) named = &home;
    if (!named) return false;
    castles |= named->Right;
  }
  return !field.empty();
}

// Reads the placement at the start of `text` into `codes` (text order) and sets `end`
// to the offset just after its 64th square; false for a bad character, an empty or
// short text or a digit running past the last square. Blanks, line ends, "/" and "-"
// between the squares are skipped.
bool ReadPlacement(std::string_view text, TFenSquares& codes, std::size_t& end) {
  int filled = 0;
  std::size_t i = 0;
  for (; i < text.size() && filled < 64; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      int run = c - '0';
      if (filled + run > 64) return false;
      for (int k = 0; k < run; ++k) codes[filled++] = EMPTY_SQUARE;
    } else if (c == '/' || c == '\n' || c == '\r' || c == ' ' || c == '-') {
      continue;
    } else if (int code = PieceCodeOfLetter(c); code != EMPTY_SQUARE) {
      codes[filled++] = code;
    } else {
      return false;
    }
  }
  end = i;
  return filled == 64;
}

// The blank-separated fields of a text.
std::vector<std::string_view> FieldsOf(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  for (;;) {
    at = text.find_first_not_of(" \t\r\n", at);
    if (at == std::string_view::npos) return fields;
    std::size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
    fields.push_back(text.substr(at, end - at));
    at = end;
  }
}

// Square of a board coordinate: 63 - ((8 - row) * 8 + (8 - column)), which is
// 8 * (row - 1) + column - 1, for coordinates known to lie on the board.
int SquareOf(int row, int column) { return 8 * (row - 1) + column - 1; }
int SquareOf(const TSquare& square) { return SquareOf(square.Row, square.Col); }

// The piece a promotion letter names, as its dark code; EMPTY_SQUARE for any other character.
int PromotionPiece(char letter) {
  switch (letter) {
    case 'q': case 'Q': return DARK_QUEEN;
    case 'r': case 'R': return DARK_ROOK;
    case 'b': case 'B': return DARK_BISHOP;
    case 'n': case 'N': return DARK_KNIGHT;
    default: return EMPTY_SQUARE;
  }
}


// The en passant square a FEN field names, or NO_SQUARE unless it lies behind a pawn of
// the side not to move that has just stepped two ranks: "e3" with a light pawn on e4,
// e2 and e3 empty, and dark to move.
int EnPassantOfField(std::string_view field, const TBitBoards& board, TSide sideToMove) {
  if (field.size() != 2) return NO_SQUARE;
  int column = FileLetterToColumn(field[0]);
  // The pawn that passed belongs to the side not to move: light's passes rank 3.
  TSide passedSide = OtherSide(sideToMove);
  int row = passedSide == TSide::Light ? 3 : 6;
  int forward = passedSide == TSide::Light ? 1 : -1;
  if (column == 0 || field[1] != '0' + row) return NO_SQUARE;
  std::uint64_t occupied = Occupancy(board);
  int passed = SquareOf(row, column);
  bool pawnArrived = (board[DARK_PAWN + SideIndex(passedSide)] & SquareBit[SquareOf(row + forward, column)]) != 0;
  bool pathEmpty = !(occupied & SquareBit[passed]) && !(occupied & SquareBit[SquareOf(row - forward, column)]);
  return pawnArrived && pathEmpty ? passed : NO_SQUARE;
}

// The library takes each bitboard as two words, the low one first.
using TBitBoardWords = std::array<std::uint32_t, 24>;

TBitBoardWords SplitIntoWords(const TBitBoards& board) {
  TBitBoardWords words;
  for (std::size_t code = 0; code < board.size(); ++code) {
    words[2 * code] = static_cast<std::uint32_t>(board[code]);
    words[2 * code + 1] = static_cast<std::uint32_t>(board[code] >> 32);
  }
  return words;
}

template <std::size_t... I>
int CallControllaMossa(const TBitBoardWords& words, int side, int from, int to, std::index_sequence<I...>) {
  return controlla_mossa(side, from, to, words[I]...);
}

template <std::size_t... I>
int CallIsMate(const TBitBoardWords& words, int side, std::index_sequence<I...>) {
  return is_mate(side, words[I]...);
}

}  // namespace

int PieceOfSide(const TBitBoards& board, TSide side, int square) {
  BRV_ASSERT_MSG(square >= 0, std::to_string(square));
  BRV_ASSERT_MSG(square <= 63, std::to_string(square));
  // Code order: pawn, rook, bishop, knight, king, queen.
  for (int code = SideIndex(side); code < EMPTY_SQUARE; code += 2)
    if (board[code] & SquareBit[square]) return code;
  return EMPTY_SQUARE;
}

int TSquare::Index() const { return CheckedAdd(CheckedMul(8, CheckedSub(Row, 1)), CheckedSub(Col, 1)); }

std::string TSquare::Name() const {
  if (!OnBoard()) return std::string();
  return ColumnToFileLetter(Col) + std::to_string(Row);
}

char PieceToChar(int code) {
  if (code >= 0 && code < 12) return PIECE_LETTERS[code];
  return code == EMPTY_SQUARE ? '-' : '?';
}

int PieceCodeOnSquare(const TBitBoards& board, int square) {
  CheckSquare(square);
  int dark = PieceOfSide(board, TSide::Dark, square);
  int light = PieceOfSide(board, TSide::Light, square);
  if (dark != EMPTY_SQUARE && light != EMPTY_SQUARE) Dialogs().ShowMessage("errore get_case_occupate");
  return dark != EMPTY_SQUARE ? dark : light;
}

bool ParseFenPlacement(std::string_view text, TBitBoards& board, TFenSquares* squares) {
  TFenSquares codes;
  std::size_t end = 0;
  if (!ReadPlacement(text, codes, end)) {
    Dialogs().WriteLine(BAD_FEN_TEXT);
    return false;
  }
  TBitBoards parsed{};
  for (int s = 0; s < 64; ++s) {
    int code = codes[63 - s];
    if (code != EMPTY_SQUARE) parsed[code] |= SquareBit[s];
  }
  board = parsed;
  if (squares) *squares = codes;
  return true;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view MARK = "\xEF\xBB\xBF";
  return text.starts_with(MARK) ? text.substr(MARK.size()) : text;
}

std::string FenPlacementText(const TBitBoards& board) {
  std::string text;
  for (int rank = 8; rank >= 1; --rank) {
    int run = 0;
    // Within a rank, text order runs from the a-file (column 8) to the h-file (column 1).
    for (int column = 8; column >= 1; --column) {
      int code = PieceCodeOnSquare(board, SquareOf(rank, column));
      if (code == EMPTY_SQUARE) {
        ++run;
        continue;
      }
      if (run > 0) text += static_cast<char>('0' + run);
      run = 0;
      text += PieceToChar(code);
    }
    if (run > 0) text += static_cast<char>('0' + run);
    if (rank > 1) text += '/';
  }
  return text;
}

std::string FenFieldsText(const TGameRights& rights) {
  std::string text = rights.SideToMove == TSide::Dark ? "b " : "w ";
  std::size_t castles = text.size();
  for (const TCastleHome& home : CASTLE_HOMES)
    if (rights.Castling & home.Right) text += home.Letter;
  if (text.size() == castles) text += '-';
  bool enPassant = rights.EnPassant >= 0 && rights.EnPassant <= 63;
  text += ' ';
  text += enPassant ? TSquare::OfIndex(rights.EnPassant).Name() : std::string("-");
  return text + ' ' + std::to_string(rights.HalfMoveClock) + ' ' + std::to_string(rights.FullMoveNumber);
}

std::string FenClipboardText(const TBitBoards& board, const TGameRights& rights) {
  return FenPlacementText(board) + " " + FenFieldsText(rights);
}

std::string FenFileText(const TBitBoards& board, const TGameRights& rights) {
  return FenClipboardText(board, rights) + "\r\n";
}

std::string ColumnToFileLetter(int column) {
  if (!OnBoard(column)) return std::string();
  return std::string(1, static_cast<char>('a' + 8 - column));
}

int FileLetterToColumn(char letter) {
  if (letter < 'a' || letter > 'h') return 0;
  return 8 - (letter - 'a');
}

std::string MoveToText(const TBoardMove& move) {
  std::string text = move.From.Name() + move.To.Name();
  if (move.Promotion) text += static_cast<char>(std::tolower(static_cast<unsigned char>(move.Promotion)));
  return text;
}

bool ParseMoveText(std::string_view text, TBoardMove& move) {
  if (text.size() != 4 && text.size() != 5) return false;
  auto rank = [](char c) { return c >= '1' && c <= '8' ? c - '0' : 0; };
  TBoardMove parsed;
  parsed.From = {rank(text[1]), FileLetterToColumn(text[0])};
  parsed.To = {rank(text[3]), FileLetterToColumn(text[2])};
  if (!AllOnBoard(parsed)) return false;
  if (text.size() == 5) {
    if (PromotionPiece(text[4]) == EMPTY_SQUARE) return false;
    parsed.Promotion = text[4];
  }
  move = parsed;
  return true;
}

std::string MoveResultText(TMoveResult result, const TBoardMove& move) {
  bool onBoard = AllOnBoard(move);
  std::string from = onBoard ? move.From.Name() : std::string();
  std::string to = onBoard ? move.To.Name() : std::string();
  std::string name = onBoard ? from + to : std::string("(off the board)");
  switch (result) {
    case TMoveResult::Applied: return "Move " + name + " applied";
    case TMoveResult::OffBoard: return "Illegal move " + name + ": a square is outside a1-h8";
    case TMoveResult::NoPiece: return "Illegal move " + name + ": no piece on " + from;
    case TMoveResult::WrongSide: return "Illegal move " + name + ": the piece on " + from + " belongs to the other side";
    case TMoveResult::OwnPiece: return "Illegal move " + name + ": it captures its own piece on " + to;
    case TMoveResult::TakesKing: return "Illegal move " + name + ": a king is never taken, and one stands on " + to;
  }
  return std::string();
}

TMoveResult ApplyMoveToBitboards(TBitBoards& board, const TBoardMove& move, std::optional<TSide> side,
                                 TMoveEffects* effects) {
  if (!AllOnBoard(move)) return TMoveResult::OffBoard;
  int from = SquareOf(move.From);
  int to = SquareOf(move.To);
  TMoveEffects done;
  if (from == to) {
    if (effects) *effects = done;
    return TMoveResult::Applied;
  }
  int mover = PieceCodeOnSquare(board, from);
  if (mover == EMPTY_SQUARE) return TMoveResult::NoPiece;
  TSide moverSide = SideOfPiece(mover);
  if (side && moverSide != *side) return TMoveResult::WrongSide;
  int victim = PieceCodeOnSquare(board, to);
  if (victim != EMPTY_SQUARE && SideOfPiece(victim) == moverSide) return TMoveResult::OwnPiece;
  if (victim == DARK_KING || victim == LIGHT_KING) return TMoveResult::TakesKing;

  TBitBoards result = board;
  result[mover] = (result[mover] & SquareClearMask[from]) | SquareBit[to];
  // A castle's target is empty, so this takes nothing from a legal one; a king that an
  // engine moves two columns onto a piece takes it rather than sharing its square.
  if (victim != EMPTY_SQUARE) result[victim] &= SquareClearMask[to];

  if (IsCastleMove(mover, move)) {
    // King side: the h-file rook goes to the f-file; queen side: the a-file rook to the d-file.
    // It goes along only when it stands in its corner and the square it goes to is free.
    int rook = DARK_ROOK + SideIndex(moverSide);
    const TSquare rookFrom{move.From.Row, move.To.Col == 2 ? 1 : 8};
    const TSquare rookTo{move.From.Row, move.To.Col == 2 ? 3 : 5};
    if ((result[rook] & SquareBit[SquareOf(rookFrom)]) && !(Occupancy(result) & SquareBit[SquareOf(rookTo)])) {
      result[rook] = (result[rook] & SquareClearMask[SquareOf(rookFrom)]) | SquareBit[SquareOf(rookTo)];
      done.RookFrom = rookFrom;
      done.RookTo = rookTo;
    }
  }

  bool isPawn = mover == DARK_PAWN || mover == LIGHT_PAWN;
  if (isPawn && victim == EMPTY_SQUARE && move.From.Col != move.To.Col) {
    // A pawn going diagonally onto an empty square captures en passant: the pawn it
    // passed stands beside its from-square, on the target's column.
    const TSquare passed{move.From.Row, move.To.Col};
    int enemyPawn = DARK_PAWN + SideIndex(OtherSide(moverSide));
    if (result[enemyPawn] & SquareBit[SquareOf(passed)]) {
      result[enemyPawn] &= SquareClearMask[SquareOf(passed)];
      done.Taken = passed;
    }
  }
  if (isPawn && move.To.Row == (moverSide == TSide::Light ? 8 : 1)) {
    result[mover] &= SquareClearMask[to];
    // No letter, or one ParseMoveText would not take, makes a queen.
    int piece = PromotionPiece(move.Promotion);
    done.Promoted = (piece == EMPTY_SQUARE ? DARK_QUEEN : piece) + SideIndex(moverSide);
    result[done.Promoted] |= SquareBit[to];
  }
  board = result;
  if (effects) *effects = done;
  return TMoveResult::Applied;
}

bool ControllaMossa(const TBitBoards& board, int side, int from, int to) {
  return CallControllaMossa(SplitIntoWords(board), side, from, to, std::make_index_sequence<24>()) != 0;
}

bool IsMate(const TBitBoards& board, int side) {
  return CallIsMate(SplitIntoWords(board), side, std::make_index_sequence<24>()) != 0;
}

TMoveResult ApplyGameMove(TBitBoards& board, TGameRights& rights, const TBoardMove& move, std::optional<TSide> side,
                          TMoveEffects* effects) {
  if (!AllOnBoard(move)) return TMoveResult::OffBoard;
  int from = SquareOf(move.From);
  int to = SquareOf(move.To);
  bool pawn = ((board[DARK_PAWN] | board[LIGHT_PAWN]) & SquareBit[from]) != 0;
  bool capture = (Occupancy(board) & SquareBit[to]) != 0;
  int mover = PieceCodeOnSquare(board, from);
  TMoveResult result = ApplyMoveToBitboards(board, move, side, effects);
  if (result != TMoveResult::Applied || from == to) return result;
  rights.SideToMove = OtherSide(SideOfPiece(mover));
  rights.Castling &= ~(CastlesEndedAt(from) | CastlesEndedAt(to));
  bool doubleStep = pawn && move.From.Col == move.To.Col && std::abs(move.To.Row - move.From.Row) == 2;
  rights.EnPassant = doubleStep ? SquareOf((move.From.Row + move.To.Row) / 2, move.From.Col) : NO_SQUARE;
  // The clock counts the moves towards the fifty-move draw, which a capture or a pawn
  // move starts anew; taking en passant is a pawn move onto an empty square.
  rights.HalfMoveClock = pawn || capture ? 0 : std::min(rights.HalfMoveClock + 1, MAX_MOVE_COUNTER);
  if (SideOfPiece(mover) == TSide::Dark)
    rights.FullMoveNumber = std::min(rights.FullMoveNumber + 1, MAX_MOVE_COUNTER);
  return result;
}

namespace {

// The fields after a FEN text's placement: side to move, castling, en passant, counters.
std::vector<std::string_view> FieldsAfterPlacement(std::string_view text) {
  TFenSquares codes;
  std::size_t end = 0;
  if (!ReadPlacement(text, codes, end)) return {};
  // The program once ended the placement in "/", and its old files still do.
  std::string_view rest = text.substr(end);
  return FieldsOf(rest.substr(std::min(rest.find_first_not_of('/'), rest.size())));
}

// A move counter's field as a number from `least` to MAX_MOVE_COUNTER, or `fallback`
// for anything else: a sign, a letter, a fraction, a larger number.
int CounterOfField(std::string_view field, int least, int fallback) {
  if (field.empty() || !std::isdigit(static_cast<unsigned char>(field[0]))) return fallback;
  int value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (error != std::errc() || stop != end || value < least || value > MAX_MOVE_COUNTER) return fallback;
  return value;
}

}  // namespace

TGameRights RightsOfFen(std::string_view text, const TBitBoards& board) {
  TGameRights rights;
  const std::vector<std::string_view> fields = FieldsAfterPlacement(text);
  // Side to move, castling, en passant, the half-move clock and the full-move number.
  if (!fields.empty() && fields[0] == "b") rights.SideToMove = TSide::Dark;
  if (fields.size() < 2 || !CastlesOfField(fields[1], rights.Castling)) rights.Castling = ALL_CASTLES;
  rights.Castling &= CastlesAtHome(board);
  if (fields.size() >= 3) rights.EnPassant = EnPassantOfField(fields[2], board, rights.SideToMove);
  if (fields.size() >= 4) rights.HalfMoveClock = CounterOfField(fields[3], 0, rights.HalfMoveClock);
  if (fields.size() >= 5) rights.FullMoveNumber = CounterOfField(fields[4], 1, rights.FullMoveNumber);
  return rights;
}

bool IsLegalUserMove(const TBitBoards& board, const TGameRights& rights, const TBoardMove& move, TSide side) {
  if (!AllOnBoard(move)) return false;
  int from = SquareOf(move.From);
  int to = SquareOf(move.To);
  int mover = PieceOfSide(board, side, from);
  // The library lets a king be taken where the position puts one in the mover's reach.
  if ((board[DARK_KING] | board[LIGHT_KING]) & SquareBit[to]) return false;
  if (IsCastleMove(mover, move) && !(rights.Castling & CastleRight(side, move.To.Col))) return false;
  if (IsPawn(mover) && to == rights.EnPassant && move.From.Col != move.To.Col) {
    int passed = SquareOf(move.From.Row, move.To.Col);
    int enemyPawn = DARK_PAWN + SideIndex(OtherSide(side));
    if (!(board[enemyPawn] & SquareBit[passed]) || (Occupancy(board) & SquareBit[to])) return false;
    TBitBoards asCapture = board;
    asCapture[enemyPawn] = (asCapture[enemyPawn] & SquareClearMask[passed]) | SquareBit[to];
    return ControllaMossa(asCapture, SideIndex(side), from, to);
  }
  return ControllaMossa(board, SideIndex(side), from, to);
}

TUserMove PlayUserMove(TBitBoards& board, TGameRights& rights, const TBoardMove& move, TSide side) {
  TUserMove played;
  if (!IsLegalUserMove(board, rights, move, side)) return played;
  TBoardMove applied = move;
  int mover = PieceCodeOnSquare(board, SquareOf(move.From));
  bool promotes = IsPawn(mover) && move.To.Row == (SideOfPiece(mover) == TSide::Light ? 8 : 1);
  if (promotes && PromotionPiece(applied.Promotion) == EMPTY_SQUARE) applied.Promotion = 'q';
  if (!promotes) applied.Promotion = 0;
  if (ApplyGameMove(board, rights, applied, side, &played.Effects) != TMoveResult::Applied) return played;
  played.Legal = true;
  // Engines take a promotion with its piece only; our position made that piece.
  played.Text = MoveToText(applied);
  return played;
}

bool IsMate(const TBitBoards& board, const TGameRights& rights, TSide side) {
  if (!IsMate(board, SideIndex(side))) return false;
  if (rights.EnPassant == NO_SQUARE) return true;
  const TSquare target = TSquare::OfIndex(rights.EnPassant);
  const int fromRow = side == TSide::Light ? target.Row - 1 : target.Row + 1;
  for (int fromCol : {target.Col - 1, target.Col + 1}) {
    const TBoardMove capture{{fromRow, fromCol}, target};
    if (capture.From.OnBoard() && PieceOfSide(board, side, SquareOf(capture.From)) == DARK_PAWN + SideIndex(side) &&
        IsLegalUserMove(board, rights, capture, side))
      return false;
  }
  return true;
}

std::string FenEngineText(const TBitBoards& board, const TGameRights& rights) {
  return FenClipboardText(board, rights);
}

std::vector<std::string> EnginePositionCommands(const TBitBoards& board, const TGameRights& rights, bool editMode) {
  std::vector<std::string> lines = {"new", "force"};
  if (!editMode) {
    lines.push_back("setboard " + FenEngineText(board, rights));
    return lines;
  }
  // After "new" light is to move; one legal move from the start hands the move to dark.
  if (rights.SideToMove == TSide::Dark) lines.emplace_back("a2a3");
  lines.emplace_back("edit");
  lines.emplace_back("#");
  for (TSide side : {TSide::Light, TSide::Dark}) {
    // Edit mode places pieces of light until "c" switches the colour.
    if (side == TSide::Dark) lines.emplace_back("c");
    for (int square = 63; square >= 0; --square) {
      int piece = PieceOfSide(board, side, square);
      if (piece == EMPTY_SQUARE) continue;
      char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(PieceToChar(piece))));
      lines.push_back(letter + TSquare::OfIndex(square).Name());
    }
  }
  lines.emplace_back(".");
  return lines;
}

// ---------------------------------------------------------------------------
// Positions no game can reach

namespace {

std::string SquareNameOf(int square) { return TSquare::OfIndex(square).Name(); }

int Count(std::uint64_t bits) { return std::popcount(bits); }

// What rules out a side's men alone, or empty.
std::string ImpossibleMen(const TBitBoards& board, TSide side) {
  const std::string name = SideName(side);
  const int kings = Count(board[DARK_KING + SideIndex(side)]);
  if (kings == 0) return name + " has no king";
  if (kings > 1) return name + " has " + std::to_string(kings) + " kings";
  const int pawns = Count(board[DARK_PAWN + SideIndex(side)]);
  if (pawns > 8) return name + " has " + std::to_string(pawns) + " pawns, more than 8";
  int men = 0;
  for (int code = SideIndex(side); code < EMPTY_SQUARE; code += 2) men += Count(board[code]);
  if (men > 16) return name + " has " + std::to_string(men) + " pieces, more than 16";
  // Each piece beyond those of the start position was a pawn once.
  struct TStart {
    int Code;
    int Count;
  };
  const TStart starts[] = {{DARK_QUEEN, 1}, {DARK_ROOK, 2}, {DARK_BISHOP, 2}, {DARK_KNIGHT, 2}};
  int promoted = 0;
  for (const TStart& start : starts)
    promoted += std::max(0, Count(board[start.Code + SideIndex(side)]) - start.Count);
  if (promoted > 8 - pawns) return name + " has more queens, rooks, bishops and knights than its missing pawns could have become";
  return std::string();
}

}  // namespace

TGameRights PlayRightsOfFen(std::string_view text, const TBitBoards& board) {
  TGameRights rights = RightsOfFen(text, board);
  const std::vector<std::string_view> fields = FieldsAfterPlacement(text);
  const std::vector<std::string_view> oldFileFields = {"w", "-", "-", "0", "1"};
  if (fields == oldFileFields && Count(board[DARK_KING]) == 1 &&
      SquareAttacked(board, std::countr_zero(board[DARK_KING]), TSide::Light))
    rights.SideToMove = TSide::Dark;
  return rights;
}

bool SquareAttacked(const TBitBoards& board, int square, TSide bySide) {
  CheckSquare(square);
  const int by = SideIndex(bySide);
  // Files 0 (h) to 7 (a), ranks 0 to 7, as the square numbers run.
  const int file = square % 8, rank = square / 8;
  auto holds = [&](int darkCode, int f, int r) {
    return f >= 0 && f < 8 && r >= 0 && r < 8 && (board[darkCode + by] & SquareBit[8 * r + f]) != 0;
  };
  // A light pawn takes towards rank 8, so it attacks from the rank below.
  const int pawnRank = bySide == TSide::Light ? rank - 1 : rank + 1;
  if (holds(DARK_PAWN, file - 1, pawnRank) || holds(DARK_PAWN, file + 1, pawnRank)) return true;
  constexpr int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  for (const auto& step : KNIGHT_STEPS)
    if (holds(DARK_KNIGHT, file + step[0], rank + step[1])) return true;
  constexpr int LINES[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  const std::uint64_t occupied = Occupancy(board);
  for (const auto& line : LINES) {
    if (holds(DARK_KING, file + line[0], rank + line[1])) return true;
    const int slider = line[0] == 0 || line[1] == 0 ? DARK_ROOK : DARK_BISHOP;
    for (int f = file + line[0], r = rank + line[1]; f >= 0 && f < 8 && r >= 0 && r < 8; f += line[0], r += line[1]) {
      if (holds(slider, f, r) || holds(DARK_QUEEN, f, r)) return true;
      if (occupied & SquareBit[8 * r + f]) break;
    }
  }
  return false;
}

bool InCheck(const TBitBoards& board, TSide side) {
  const std::uint64_t king = board[DARK_KING + SideIndex(side)];
  return king != 0 && SquareAttacked(board, std::countr_zero(king), OtherSide(side));
}

std::string ImpossiblePositionText(const TBitBoards& board, TSide sideToMove) {
  for (TSide side : {TSide::Light, TSide::Dark})
    if (std::string men = ImpossibleMen(board, side); !men.empty()) return men;
  constexpr std::uint64_t FIRST_AND_LAST_RANKS = 0xFF000000000000FFull;
  if (std::uint64_t pawns = (board[DARK_PAWN] | board[LIGHT_PAWN]) & FIRST_AND_LAST_RANKS)
    return "a pawn stands on " + SquareNameOf(std::countr_zero(pawns)) + ", on the first or last rank";
  const TSide waiting = OtherSide(sideToMove);
  const int king = std::countr_zero(board[DARK_KING + SideIndex(waiting)]);
  if (SquareAttacked(board, king, sideToMove))
    return std::string(SideName(waiting)) + "'s king on " + SquareNameOf(king) + " is in check while " +
           SideName(sideToMove) + " is to move";
  return std::string();
}

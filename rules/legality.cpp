#include "legality.h"

#include <cstdio>

namespace rules {

namespace {

// [side][0 king side, 1 queen side]
constexpr TCastle CASTLES[2][2] = {
    {{59, 57, 56, 58, (1ull << 58) | (1ull << 57), {57, 58, 59}},
     {59, 61, 63, 60, (1ull << 60) | (1ull << 61) | (1ull << 62), {59, 60, 61}}},
    {{3, 1, 0, 2, (1ull << 2) | (1ull << 1), {1, 2, 3}},
     {3, 5, 7, 4, (1ull << 4) | (1ull << 5) | (1ull << 6), {3, 4, 5}}},
};

// The code of `side`'s piece on `square`, pawn, rook, bishop, knight, king, queen
// in that order; EMPTY if none.
int piece_on(int side, int square) {
  for (int code = side; code < EMPTY; code += 2)
    if (Position[code] & SquareBit[square]) return code;
  return EMPTY;
}

bool king_attacked(int side) {
  TBitboard king = Position[KING + side];
  return king && square_attacked(side, lowest_bit(king));
}

// The victim of a move: the opponent's piece on `to`, or for en passant the
// opponent's pawn it passes, which stands beside the mover on the target's file.
int victim_of(int kind, int to, int side) {
  return kind == EN_PASSANT ? PAWN + 1 - side : piece_on(1 - side, to);
}

int victim_square(int kind, int to, int side) {
  if (kind != EN_PASSANT) return to;
  return side == LIGHT ? to - 8 : to + 8;
}

void move_bit(TBitboard& board, int from, int to) { board = (board & SquareClearMask[from]) | SquareBit[to]; }

}  // namespace

const TCastle& castle_of(int wing, int side) { return CASTLES[side][wing == KING_SIDE ? 0 : 1]; }

int try_move(int from, int to, int kind, int side) {
  if (kind == CASTLE) {
    make_castle(from, side);
    int result = king_attacked(side) ? 1 : 0;
    unmake_castle(from, side);
    return result;
  }
  if (kind != NORMAL_MOVE && kind != EN_PASSANT) return 0;

  int mover = piece_on(side, from);
  if (mover == EMPTY) return 0;
  int victim = victim_of(kind, to, side);
  const TBitboard moverBoard = Position[mover];
  const TBitboard victimBoard = victim != EMPTY ? Position[victim] : 0;
  const TBitboard occupancy = Occupancy;

  // A quiet move has no victim: EMPTY is not a bitboard.
  if (victim != EMPTY) Position[victim] &= SquareClearMask[victim_square(kind, to, side)];
  move_bit(Position[mover], from, to);
  // The attack test reads the occupancy: a piece leaving a line opens it.
  Occupancy = all_occupancy();

  int result = 0;
  if (king_attacked(side))
    result = 1;
  else if (king_attacked(1 - side))
    result = 2;

  Position[mover] = moverBoard;
  if (victim != EMPTY) Position[victim] = victimBoard;
  Occupancy = occupancy;
  return result;
}

void make_castle(int wing, int side) {
  const TCastle& castle = castle_of(wing, side);
  move_bit(Position[KING + side], castle.KingFrom, castle.KingTo);
  move_bit(Position[ROOK + side], castle.RookFrom, castle.RookTo);
  Occupancy = all_occupancy();
}

void unmake_castle(int wing, int side) {
  const TCastle& castle = castle_of(wing, side);
  move_bit(Position[KING + side], castle.KingTo, castle.KingFrom);
  move_bit(Position[ROOK + side], castle.RookTo, castle.RookFrom);
  Occupancy = all_occupancy();
}

int square_attacked(int side, int square) {
  int opponent = 1 - side;
  if (KnightAttacks[square] & Position[KNIGHT + opponent]) return 1;
  if (KingAttacks[square] & Position[KING + opponent]) return 1;
  if (PawnAttacks[side][square] & Position[PAWN + opponent]) return 1;
  TBitboard diagonal = Position[BISHOP + opponent] | Position[QUEEN + opponent];
  TBitboard straight = Position[ROOK + opponent] | Position[QUEEN + opponent];
  if (!(diagonal & BishopRays[square]) && !(straight & RookRays[square])) return 0;
  if (rank_targets(CapturePattern, Occupancy, square) & straight) return 1;
  if (diag7_targets(CapturePattern, Occupancy, square) & diagonal) return 1;
  if (diag9_targets(CapturePattern, Occupancy, square) & diagonal) return 1;
  if (file_targets(CapturePattern, Occupancy, square) & straight) return 1;
  return 0;
}

int move_score(int kind, int from, int to, bool givesCheck) {
  int mover = piece_on(SideToMove, from);
  int victim = victim_of(kind, to, SideToMove);
  // The king weighs the lowest integer, so these sums overflow: they wrap.
  std::uint32_t victimValue = static_cast<std::uint32_t>(PieceValue[victim]);
  std::uint32_t moverValue = static_cast<std::uint32_t>(PieceValue[mover]);
  std::uint32_t score = PieceValue[victim] < PieceValue[mover] ? victimValue : (victimValue - moverValue) * 200u;
  score += static_cast<std::uint32_t>(PieceSquareValue[mover][to]);
  score -= static_cast<std::uint32_t>(PieceSquareValue[mover][from]);
  if (givesCheck) score += 80000u;
  return static_cast<std::int32_t>(score);
}

void add_move(int kind, int from, int to) {
  int result = try_move(from, to, kind, SideToMove);
  if (result == 1) return;
  int& count = MoveCount[CurrentPly];
  if (count >= MAX_PLY_MOVES) return;
  TMoveRecord& record = ply_moves(CurrentPly)[count];
  record.From = static_cast<std::int8_t>(from);
  record.Side = static_cast<std::uint8_t>(SideToMove);
  record.Kind = static_cast<std::int8_t>(kind);
  if (kind == CASTLE) {
    record.Extra = EMPTY;
    record.Score = 100;
  } else {
    record.To = static_cast<std::int8_t>(to);
    record.Score = move_score(kind, from, to, result == 2);
  }
  ++count;
}

namespace {

// Light pieces are named before dark ones when bitboards overlap.
char square_letter(int square) {
  constexpr int ORDER[12] = {1, 9, 3, 5, 7, 11, 0, 8, 2, 4, 6, 10};
  constexpr char LETTERS[] = "pPrRbBnNkKqQ";
  for (int code : ORDER)
    if (Position[code] & SquareBit[square]) return LETTERS[code];
  return ' ';
}

}  // namespace

void position_to_fen(char (&text)[FEN_TEXT_SIZE]) {
  int length = 0;
  for (int rank = 7; rank >= 0; --rank) {
    int run = 0;
    for (int square = rank * 8 + 7; square >= rank * 8; --square) {
      char letter = square_letter(square);
      if (letter == ' ') {
        ++run;
        continue;
      }
      if (run) text[length++] = static_cast<char>('0' + run);
      run = 0;
      text[length++] = letter;
    }
    if (run) text[length++] = static_cast<char>('0' + run);
    if (rank > 0) text[length++] = '/';
  }
  for (char c : " w ") text[length++] = c;
}

void print_board() {
  std::printf("\n     a   b   c   d   e   f   g   h");
  for (int i = 0; i < 64; ++i) {
    if (i % 8 == 0) std::printf("\n   ---------------------------------\n %d | ", 8 - i / 8);
    std::printf("%c | ", square_letter(63 - i));
  }
  std::printf("\n");
  std::printf("   ---------------------------------\n");
  std::printf("     a   b   c   d   e   f   g   h\n\n");
  char fen[FEN_TEXT_SIZE];
  position_to_fen(fen);
  std::printf("\n%s\n", fen);
  std::fflush(stdout);
}

}  // namespace rules

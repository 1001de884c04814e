#include "rules/legality.h"

#include <array>
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

// What a generator run notes about both kings before it tries any move: a move
// that cannot expose the mover's king or check the opponent's needs no attack
// test, and gets the answer the test would give.
struct TKingWatch {
  bool KingSafe = false;       // the side's king is not attacked now
  TBitboard Exposing = 0;      // lines from the side's king that hold an opponent slider of their kind
  int EnemyKing = NO_SQUARE;   // the square the check test looks at
  bool EnemyKingFree = false;  // and the side does not attack it now
  TBitboard Discovering = 0;   // lines from the enemy king that hold a slider of the side
  std::array<TBitboard, 12> Checking{};  // [mover]: squares from which that piece could attack the enemy king
  TBitboard Overlap = 0;       // squares held by more than one bitboard (none in a chess position)
};

TKingWatch Watch;

// The lines through `king` on which a slider of `sliderSide` stands, beyond
// whatever is in between.
TBitboard slider_lines(int king, int sliderSide) {
  TBitboard straight = Position[ROOK + sliderSide] | Position[QUEEN + sliderSide];
  TBitboard diagonal = Position[BISHOP + sliderSide] | Position[QUEEN + sliderSide];
  TBitboard lines = 0;
  for (TBitboard line : {RankMask[king] & SquareClearMask[king], FileMask[king] & SquareClearMask[king]})
    if (line & straight) lines |= line;
  for (TBitboard line : {Diag7Mask[king], Diag9Mask[king]})
    if (line & diagonal) lines |= line;
  return lines;
}

// Plays a normal or en passant move on the static position, runs the king tests
// asked for, and takes the move back: 1 the mover's king is attacked, 2 the
// opponent's is, else 0. `overlap`: the squares that may hold more than one piece.
int tried_result(int kind, int from, int to, int side, int mover, int victim, bool testOwnKing, bool testCheck,
                 TBitboard overlap) {
  if (!testOwnKing && !testCheck) return 0;
  const TBitboard moverBoard = Position[mover];
  const TBitboard victimBoard = victim != EMPTY ? Position[victim] : 0;
  const TBitboard occupancy = Occupancy;

  // A quiet move has no victim: EMPTY is not a bitboard.
  const int victimAt = victim_square(kind, to, side);
  if (victim != EMPTY) Position[victim] &= SquareClearMask[victimAt];
  move_bit(Position[mover], from, to);
  // The attack test reads the occupancy: a piece leaving a line opens it. Where
  // no other bitboard holds the squares left, they are simply empty now.
  if ((SquareBit[from] | SquareBit[victimAt]) & overlap)
    Occupancy = all_occupancy();
  else
    Occupancy = (occupancy & SquareClearMask[from] & SquareClearMask[victimAt]) | SquareBit[to];

  int result = 0;
  if (testOwnKing && king_attacked(side))
    result = 1;
  else if (testCheck && king_attacked(1 - side))
    result = 2;

  Position[mover] = moverBoard;
  if (victim != EMPTY) Position[victim] = victimBoard;
  Occupancy = occupancy;
  return result;
}

bool may_expose_king(int kind, int side, int mover, int from) {
  return kind != NORMAL_MOVE || !Watch.KingSafe || mover == KING + side || (Watch.Exposing & SquareBit[from]);
}

bool may_give_check(int kind, int mover, int from, int to) {
  if (Watch.EnemyKing == NO_SQUARE) return false;
  return kind != NORMAL_MOVE || !Watch.EnemyKingFree || to == Watch.EnemyKing ||
         (Watch.Discovering & SquareBit[from]) || (Watch.Checking[mover] & SquareBit[to]);
}

// The king weighs the lowest integer, so these sums overflow: they wrap.
int score_of(int mover, int victim, int from, int to, bool givesCheck) {
  std::uint32_t victimValue = static_cast<std::uint32_t>(PieceValue[victim]);
  std::uint32_t moverValue = static_cast<std::uint32_t>(PieceValue[mover]);
  std::uint32_t score = PieceValue[victim] < PieceValue[mover] ? victimValue : (victimValue - moverValue) * 200u;
  score += static_cast<std::uint32_t>(PieceSquareValue[mover][to]);
  score -= static_cast<std::uint32_t>(PieceSquareValue[mover][from]);
  if (givesCheck) score += 80000u;
  return static_cast<std::int32_t>(score);
}

}  // namespace

const TCastle& castle_of(int wing, int side) { return CASTLES[side][wing == KING_SIDE ? 0 : 1]; }

void watch_kings(int side) {
  int opponent = 1 - side;
  TBitboard seen = 0;
  Watch.Overlap = 0;
  for (TBitboard board : Position) {
    Watch.Overlap |= seen & board;
    seen |= board;
  }
  TBitboard king = Position[KING + side];
  TBitboard enemyKing = Position[KING + opponent];
  Watch.KingSafe = !king_attacked(side);
  Watch.Exposing = king ? slider_lines(lowest_bit(king), opponent) : 0;
  Watch.EnemyKing = enemyKing ? lowest_bit(enemyKing) : NO_SQUARE;
  if (Watch.EnemyKing == NO_SQUARE) return;
  int target = Watch.EnemyKing;
  Watch.EnemyKingFree = !square_attacked(opponent, target);
  Watch.Discovering = slider_lines(target, side);
  Watch.Checking[PAWN + side] = PawnAttacks[opponent][target];
  Watch.Checking[KNIGHT + side] = KnightAttacks[target];
  Watch.Checking[BISHOP + side] = BishopRays[target];
  Watch.Checking[ROOK + side] = RookRays[target];
  Watch.Checking[QUEEN + side] = BishopRays[target] | RookRays[target];
  Watch.Checking[KING + side] = KingAttacks[target];
}

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
  return tried_result(kind, from, to, side, mover, victim_of(kind, to, side), true, true, ~TBitboard{0});
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
  // A line is looked up only when a slider of its kind stands on it.
  if ((straight & RankMask[square]) && (rank_targets(CapturePattern, Occupancy, square) & straight)) return 1;
  if ((diagonal & Diag7Mask[square]) && (diag7_targets(CapturePattern, Occupancy, square) & diagonal)) return 1;
  if ((diagonal & Diag9Mask[square]) && (diag9_targets(CapturePattern, Occupancy, square) & diagonal)) return 1;
  if ((straight & FileMask[square]) && (file_targets(CapturePattern, Occupancy, square) & straight)) return 1;
  return 0;
}

int move_score(int kind, int from, int to, bool givesCheck) {
  return score_of(piece_on(SideToMove, from), victim_of(kind, to, SideToMove), from, to, givesCheck);
}

void add_move(int kind, int from, int to) { add_move(kind, from, to, EMPTY); }

void add_move(int kind, int from, int to, int piece) {
  int side = SideToMove;
  int mover = EMPTY;
  int victim = EMPTY;
  int result = 0;
  if (kind == CASTLE) {
    result = try_move(from, to, kind, side);
  } else if (kind == NORMAL_MOVE || kind == EN_PASSANT) {
    // Where bitboards overlap, the mover is whichever piece try_move would find.
    bool single = !(Watch.Overlap & SquareBit[from]);
    mover = piece != EMPTY && single ? piece : piece_on(side, from);
    victim = kind == NORMAL_MOVE && !(Occupancy & SquareBit[to]) ? EMPTY : victim_of(kind, to, side);
    if (mover != EMPTY)
      result = tried_result(kind, from, to, side, mover, victim, may_expose_king(kind, side, mover, from),
                            may_give_check(kind, mover, from, to), Watch.Overlap);
  }
  if (result == 1) return;
  int& count = MoveCount[CurrentPly];
  if (count >= MAX_PLY_MOVES) return;
  TMoveRecord& record = ply_moves(CurrentPly)[count];
  record.From = static_cast<std::int8_t>(from);
  record.Side = static_cast<std::uint8_t>(side);
  record.Kind = static_cast<std::int8_t>(kind);
  if (kind == CASTLE) {
    record.Extra = EMPTY;
    record.Score = 100;
  } else {
    record.To = static_cast<std::int8_t>(to);
    record.Score = score_of(mover, victim, from, to, result == 2);
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

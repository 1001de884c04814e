#pragma once
// A second, plain replay of a game's moves for the engine tests: an 8 x 8 array of
// FEN letters indexed by file a-h and rank 1-8, written apart from the bitboard code
// it checks. It trusts the moves it is given and knows just enough to place what they
// move: the castle's rook, the pawn taken en passant, the promoted piece.

#include <cctype>
#include <string>
#include <string_view>

class TReferenceBoard {
public:
  // `fen`: placement, then the side to move ("w" unless it says "b").
  explicit TReferenceBoard(std::string_view fen) {
    for (auto& rank : FSquares)
      for (char& square : rank) square = EMPTY;
    int rank = 7;
    int file = 0;
    std::size_t i = 0;
    for (; i < fen.size() && fen[i] != ' ' && rank >= 0; ++i) {
      char c = fen[i];
      if (c == '/') continue;
      if (std::isdigit(static_cast<unsigned char>(c))) {
        file += c - '0';
      } else {
        FSquares[rank][file++] = c;
      }
      if (file >= 8) {
        file = 0;
        --rank;
      }
    }
    i = fen.find(' ', i);
    FLightToMove = i == std::string_view::npos || fen.substr(i, 2) != " b";
  }

  bool LightToMove() const { return FLightToMove; }

  // Plays a move of the side to move: "e2e4", "e7e8q", "O-O", "0-0-0". False, changing
  // nothing, for a word that is none of these or moves no piece of that side.
  bool Play(std::string_view word) {
    int homeRank = FLightToMove ? 0 : 7;
    if (word == "O-O" || word == "0-0") return Play(FLightToMove ? "e1g1" : "e8g8");
    if (word == "O-O-O" || word == "0-0-0") return Play(FLightToMove ? "e1c1" : "e8c8");
    if (word.size() < 4 || word.size() > 5) return false;
    int fromFile = word[0] - 'a', fromRank = word[1] - '1', toFile = word[2] - 'a', toRank = word[3] - '1';
    for (int v : {fromFile, fromRank, toFile, toRank})
      if (v < 0 || v > 7) return false;
    char piece = FSquares[fromRank][fromFile];
    if (piece == EMPTY || (std::isupper(static_cast<unsigned char>(piece)) != 0) != FLightToMove) return false;
    char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(piece)));
    if (kind == 'k' && fromRank == homeRank && fromFile == 4 && (toFile == 6 || toFile == 2)) {
      int rookFrom = toFile == 6 ? 7 : 0;
      int rookTo = toFile == 6 ? 5 : 3;
      FSquares[homeRank][rookTo] = FSquares[homeRank][rookFrom];
      FSquares[homeRank][rookFrom] = EMPTY;
    }
    if (kind == 'p' && fromFile != toFile && FSquares[toRank][toFile] == EMPTY) FSquares[fromRank][toFile] = EMPTY;
    if (kind == 'p' && (toRank == 0 || toRank == 7)) {
      char made = word.size() == 5 ? word[4] : 'q';
      piece = static_cast<char>(FLightToMove ? std::toupper(static_cast<unsigned char>(made)) : made);
    }
    FSquares[toRank][toFile] = piece;
    FSquares[fromRank][fromFile] = EMPTY;
    FLightToMove = !FLightToMove;
    return true;
  }

  // Ranks 8 to 1 with "/" between them: "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR".
  std::string Placement() const {
    std::string text;
    for (int rank = 7; rank >= 0; --rank) {
      int empty = 0;
      for (int file = 0; file < 8; ++file) {
        char c = FSquares[rank][file];
        if (c == EMPTY) {
          ++empty;
          continue;
        }
        if (empty) text += static_cast<char>('0' + empty);
        empty = 0;
        text += c;
      }
      if (empty) text += static_cast<char>('0' + empty);
      if (rank > 0) text += '/';
    }
    return text;
  }

private:
  static constexpr char EMPTY = '.';
  char FSquares[8][8];
  bool FLightToMove = true;
};

#pragma once
// The legal-move fixture data/legal_moves.txt (made by tools/make_rules_fixture.py):
// positions from random games and random placements, each with its legal moves as
// a chess engine lists them, promotions merged into from-to pairs.

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/game/utility.h"

struct TFixturePosition {
  std::string Tag;  // "middle" (a middle-game position of a game), "game" or "placement"
  std::string Placement;
  int Side = 0;  // as the rules library numbers the sides: 1 light, 0 dark
  TBitBoards Board{};
  std::set<std::string> Moves;  // "e2e4"
};

// The squares of a move text such as "e2e4".
inline std::pair<int, int> MoveSquares(const std::string& text) {
  TBoardMove move;
  if (!ParseMoveText(text, move)) throw std::runtime_error("bad move text " + text);
  return {move.From.Index(), move.To.Index()};
}

// The move text of two squares 0-63.
inline std::string SquaresText(int from, int to) {
  return MoveToText({TSquare::OfIndex(from), TSquare::OfIndex(to)});
}

inline std::vector<TFixturePosition> ReadLegalMovesFixture(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<TFixturePosition> positions;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    TFixturePosition position;
    std::string side;
    fields >> position.Tag >> position.Placement >> side;
    if (!ParseFenPlacement(position.Placement, position.Board) || (side != "w" && side != "b"))
      throw std::runtime_error("bad fixture line: " + line);
    position.Side = SideIndex(side == "w" ? TSide::Light : TSide::Dark);
    for (std::string move; fields >> move;) position.Moves.insert(move);
    positions.push_back(std::move(position));
  }
  return positions;
}

#include "app/game/Game.h"

bool TGame::LoadFen(std::string_view text) {
  TBitBoards board;
  if (!ParseFenPlacement(text, board)) return false;
  FBoard = board;
  FRights = RightsOfFen(text, board);
  return true;
}

void TGame::SetPosition(const TBitBoards& board, const TGameRights& rights) {
  FBoard = board;
  FRights = rights;
}

TMoveResult TGame::Apply(const TBoardMove& move, TSide side, TMoveEffects* effects) {
  return ApplyGameMove(FBoard, FRights, move, side, effects);
}

TUserMove TGame::PlayUserMove(const TBoardMove& move, TSide side) {
  return ::PlayUserMove(FBoard, FRights, move, side);
}

bool TGame::IsMate(TSide side) const { return ::IsMate(FBoard, FRights, side); }

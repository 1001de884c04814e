#include "app/game/Game.h"

#include "base/Dialogs.h"

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

TGameEnd TGame::EndFor(TSide side) const {
  if (!IsMate(side)) return TGameEnd::None;
  return InCheck(FBoard, side) ? TGameEnd::Checkmate : TGameEnd::Stalemate;
}

void ReportGameEnd(const TGame& game, TSide side, const char* mateText) {
  switch (game.EndFor(side)) {
    case TGameEnd::Checkmate:
      Dialogs().ShowMessage(mateText);
      break;
    case TGameEnd::Stalemate:
      Dialogs().ShowMessage(STALEMATE_TEXT);
      break;
    case TGameEnd::None:
      break;
  }
}

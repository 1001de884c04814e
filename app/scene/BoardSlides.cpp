#include "app/scene/BoardSlides.h"

#include <algorithm>
#include <memory>

#include "base/Dialogs.h"
#include "meshes/GLVectorFileObjects.h"

namespace {

bool IsPawnLetter(char letter) { return letter == 'p' || letter == 'P'; }

}  // namespace

TBoardSlides::TBoardSlides(TBoardScene& scene, const TGame& game, TSlideHost& host)
    : FScene(scene), FGame(game), FHost(host) {}

TPieceSlide TBoardSlides::SlideFrom(const TBoardPiece& piece, float toX, float toZ, double start, double seconds) {
  const TGLCoordinates& at = piece.Obj->Position();
  return TPieceSlide({at.X(), at.Z()}, {toX, toZ}, start, seconds);
}

void TBoardSlides::MoveAlong(TBoardPiece& piece, const TPieceSlide& slide, double now) {
  const TSlidePoint at = slide.At(now);
  piece.Obj->Position().SetZ(at.Z);
  piece.Obj->Position().SetX(at.X);
}

TBoardPiece* TBoardSlides::VictimOf(const TBoardMove& move, const TMoveEffects& effects) const {
  if (TBoardPiece* taken = FScene.PieceAtSquare(move.To)) return taken;
  return effects.Taken.OnBoard() ? FScene.PieceAtSquare(effects.Taken) : nullptr;
}

void TBoardSlides::StartEngineMove(const TBoardMove& move, const TMoveEffects& effects) {
  // An engine move while the last one still slides: that one ends at once.
  if (FMovingPiece || FCastleRook) Stop();
  FMovingPiece = FScene.PieceAtSquare(move.From);
  if (!FMovingPiece) {
    Dialogs().ShowMessage("The engine moved from " + move.From.Name() +
                          ", where the board shows no piece; the board is drawn again from the position.");
    FHost.RefreshPieces();
    FHost.EngineMoveShown();
    return;
  }
  FEngineVictim = VictimOf(move, effects);
  if (FEngineVictim) FEngineVictim->Row = CAPTURED_ROW;
  // Castling: the rook slides once the king has arrived.
  FCastleRook = effects.RookFrom.OnBoard() ? FScene.PieceAtSquare(effects.RookFrom) : nullptr;
  FCastleRookCol = effects.RookTo.Col;
  const double now = FClock();
  const double seconds = FCastleRook ? ENGINE_SLIDE_SECONDS / 2 : ENGINE_SLIDE_SECONDS;
  FMovingSlide = SlideFrom(*FMovingPiece, FScene.SquareX(move.To.Col), FScene.SquareZ(move.To.Row), now, seconds);
  if (FEngineVictim) {
    const TGLCoordinates& at = FEngineVictim->Obj->Position();
    FEngineVictimSlide = SlideFrom(*FEngineVictim, at.X() - ENGINE_VICTIM_DISTANCE, at.Z(), now, seconds);
  }
  FMovingPiece->Row = move.To.Row;
  FMovingPiece->Col = move.To.Col;
  for (const std::unique_ptr<TBoardPiece>& piece : FScene.PieceSlots)
    if (piece) TBoardScene::SetEmission(*piece, FScene.SavedEmission);
  TBoardScene::SetEmission(*FMovingPiece, TBoardScene::HIGHLIGHT_EMISSION);
  FHost.RunTicker(TSlideHost::TTicker::EngineSlide, true);
}

bool TBoardSlides::Step(TSlideHost::TTicker ticker, TBoardPiece* piece, const TPieceSlide& slide, double now) {
  // Nothing slides: the timer rests until the next slide.
  if (!piece) {
    FHost.RunTicker(ticker, false);
    return false;
  }
  MoveAlong(*piece, slide, now);
  if (!slide.Ended(now)) return false;
  FHost.RunTicker(ticker, false);
  return true;
}

void TBoardSlides::StepEngineSlide() {
  const double now = FClock();
  if (FMovingPiece && FEngineVictim) MoveAlong(*FEngineVictim, FEngineVictimSlide, now);
  if (!Step(TSlideHost::TTicker::EngineSlide, FMovingPiece, FMovingSlide, now)) return;
  if (FEngineVictim) {
    FScene.ParkPiece(*FEngineVictim);
    FEngineVictim = nullptr;
  }
  TBoardPiece& moved = *FMovingPiece;
  FMovingPiece = nullptr;
  if (IsPawnLetter(moved.Letter)) FScene.ShowPromotion(moved, FGame.Board());
  // The rook's slide begins when the king's was to end, not at this later tick: the
  // move as a whole keeps its time.
  if (!StartCastleRookSlide(FMovingSlide.End())) FHost.EngineMoveShown();
}

bool TBoardSlides::StartCastleRookSlide(double start) {
  if (!FCastleRook) return false;
  FMovingPiece = FCastleRook;
  FCastleRook = nullptr;
  FMovingSlide = SlideFrom(*FMovingPiece, FScene.SquareX(FCastleRookCol), FScene.SquareZ(FMovingPiece->Row), start,
                           ENGINE_SLIDE_SECONDS / 2);
  FMovingPiece->Col = FCastleRookCol;
  FHost.RunTicker(TSlideHost::TTicker::CastleRookSlide, true);
  return true;
}

void TBoardSlides::StepCastleRookSlide() {
  if (!Step(TSlideHost::TTicker::CastleRookSlide, FMovingPiece, FMovingSlide, FClock())) return;
  FMovingPiece = nullptr;
  FHost.EngineMoveShown();
}

void TBoardSlides::StartUserCapture(const TBoardMove& move, const TMoveEffects& effects, const TBoardPiece& mover) {
  // A piece taken by the user's last move that is still sliding goes to its place now.
  if (FUserVictim) {
    FScene.ParkPiece(*FUserVictim);
    FUserVictim = nullptr;
  }
  TBoardPiece* victim = VictimOf(move, effects);
  if (victim && victim != &mover) StartUserVictimSlide(*victim);
}

void TBoardSlides::StartUserVictimSlide(TBoardPiece& victim) {
  victim.Row = CAPTURED_ROW;
  FUserVictim = &victim;
  const TGLCoordinates& at = victim.Obj->Position();
  const double seconds = std::max(0.0, double(at.X() - USER_VICTIM_END_X) / USER_VICTIM_SPEED);
  FUserVictimSlide = SlideFrom(victim, USER_VICTIM_END_X, at.Z(), FClock(), seconds);
  FHost.RunTicker(TSlideHost::TTicker::UserVictimSlide, true);
}

void TBoardSlides::StepUserVictimSlide() {
  if (!Step(TSlideHost::TTicker::UserVictimSlide, FUserVictim, FUserVictimSlide, FClock())) return;
  FScene.ParkPiece(*FUserVictim);
  FUserVictim = nullptr;
}

void TBoardSlides::Stop() {
  const bool engineSliding = FMovingPiece || FCastleRook;
  for (TSlideHost::TTicker ticker : {TSlideHost::TTicker::EngineSlide, TSlideHost::TTicker::CastleRookSlide,
                                     TSlideHost::TTicker::UserVictimSlide})
    FHost.RunTicker(ticker, false);
  // What was on its way lands where it was going.
  if (FMovingPiece) FScene.MoveModelTo(*FMovingPiece, FMovingPiece->Square());
  if (FCastleRook) {
    FCastleRook->Col = FCastleRookCol;
    FScene.MoveModelTo(*FCastleRook, FCastleRook->Square());
  }
  for (TBoardPiece* victim : {FEngineVictim, FUserVictim})
    if (victim) FScene.ParkPiece(*victim);
  FMovingPiece = FEngineVictim = FUserVictim = FCastleRook = nullptr;
  if (engineSliding) FHost.EngineMoveShown();
}

// The board window's play: the user's move with the mouse, the slides of the
// engine's moves and of captured pieces, and the camera that the mouse turns and the
// wheel brings nearer.

#include "app/Main.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>

#include "FormSupport.h"
#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/utility.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCadencer.h"
#include "scene/GLCamera.h"
#include "scene/objects/GLQuadrics.h"

namespace {

bool IsPawnLetter(char letter) { return letter == 'p' || letter == 'P'; }

}  // namespace

// ---------------------------------------------------------------------------
// The user's move

void TFormOpengl::StartOrbit(int x, int y) {
  LastMouseX = CurMouseX = x;
  LastMouseY = CurMouseY = y;
}

void TFormOpengl::PutBack(TBoardPiece& piece) {
  piece.Obj->Position().SetX(StartX);
  piece.Obj->Position().SetZ(StartZ);
}

void TFormOpengl::PressOnBoard(TObject*, TMouseButton, TShiftState, int x, int y) {
  OrbitCadencer->SetEnabled(true);
  HeldPiece = nullptr;
  TGLBaseSceneObject* picked = BoardView->Buffer().ObjectAtPixel(x, y);
  TBoardPiece* piece = nullptr;
  if (picked && dynamic_cast<TGLCustomSceneObject*>(picked)) piece = PieceOfObject(picked);
  const TSide userSide = Owner ? Owner->UserSide() : TSide::Light;
  // Locked: the user learns why their piece does not come along.
  if (piece && Game.EngineThinking()) {
    if (piece->Row >= 0 && SideOfLetter(piece->Letter) == userSide && Owner) Owner->SetStatusText(WAIT_TEXT);
    piece = nullptr;
  }
  // Whatever is not held, the drag turns the camera from here.
  if (!piece || piece->Row < 0) {
    StartOrbit(x, y);
    return;
  }
  if (EngineCaption == NO_ENGINE_CAPTION && Owner) Owner->SetStatusText(NO_ENGINE_CAPTION);
  if (SideOfLetter(piece->Letter) != userSide) {
    StartOrbit(x, y);
    Dialogs().ShowMessage(OTHER_SIDE_TEXT);
    return;
  }
  HeldPiece = piece;
  SavedEmission = Emission(*piece);
  SetEmission(*piece, HIGHLIGHT_EMISSION);
  StartX = piece->Obj->Position().X();
  StartZ = piece->Obj->Position().Z();
  // A release without a drag drops it where it stands.
  Drop = piece->Square();
}

void TFormOpengl::DragOnBoard(TObject*, TShiftState shift, int x, int y) {
  if (!(shift & ssLeft)) return;
  if (HeldPiece) {
    // The board's point under the mouse, behind the held piece and any other: the
    // frame's depth there is the held piece's own, which would pull it towards the
    // viewer at every move and drop it on a square nobody pointed at.
    TVector w;
    if (!BoardPointAt(BoardView->Buffer(), x, y, w)) return;
    if (w.x < -200 || w.x > 200) return;
    Drop = SquareOfBoardPoint(w);
    PlaceModelOnPoint(*HeldPiece, w);
    DropMarker->Position().SetPoint(SquareCentreX(Drop.Col), 8, SquareCentreZ(Drop.Row));
    DropMarker->SetVisible(Drop.OnBoard());
  } else if (Camera->Position().Y() >= float(CameraMinHeight)) {
    CurMouseX = x;
    CurMouseY = y;
  }
  ShowMouseStatus();
}

void TFormOpengl::ShowMouseStatus() {
  StatusBar->showMessage(QString::number(CurMouseX) + QLatin1Char(' ') + QString::number(CurMouseY) +
                          QLatin1Char(' ') + QString::number(LastMouseX));
}

void TFormOpengl::ReleaseOnBoard(TObject*, TMouseButton, TShiftState, int x, int y) {
  if (HeldPiece) SetEmission(*HeldPiece, SavedEmission);
  OrbitCadencer->SetEnabled(false);
  DropMarker->SetVisible(false);
  if (!HeldPiece) return;
  TBoardPiece& piece = *HeldPiece;
  HeldPiece = nullptr;
  if (Drop == piece.Square()) {
    PutBack(piece);
    return;
  }
  const TSide side = Owner ? Owner->UserSide() : TSide::Light;
  // Kept while the move waits for the engine's answer: a refusal takes it back.
  const TBitBoards before = Game.Board();
  const TGameRights rightsBefore = Game.Rights();
  // The rules judge the move with the castling rights and en passant; a drop off the
  // board is no move.
  const TBoardMove move{piece.Square(), Drop};
  const TUserMove played = Game.PlayUserMove(move, side);
  if (!played.Legal) {
    PutBack(piece);
    Dialogs().ShowMessage(ILLEGAL_MOVE_TEXT);
    return;
  }
  MoveModelTo(piece, Drop);
  // A piece taken by the user's last move that is still sliding goes to its place now.
  if (UserVictim) {
    ParkPiece(*UserVictim);
    UserVictim = nullptr;
  }
  TBoardPiece* victim = VictimOf(move, played.Effects);
  if (victim && victim != &piece) StartUserVictimSlide(*victim);
  if (played.Effects.RookFrom.OnBoard()) {
    if (TBoardPiece* rook = PieceAtSquare(played.Effects.RookFrom)) {
      MoveModelTo(*rook, played.Effects.RookTo);
      rook->Col = played.Effects.RookTo.Col;
    }
  }
  const std::string text = played.Text;
  piece.Row = Drop.Row;
  piece.Col = Drop.Col;
  if (played.Effects.Promoted != EMPTY_SQUARE) ShowPromotion(piece, Game.Board());
  if (Game.IsMate(OtherSide(side))) Dialogs().ShowMessage(USER_MATES_TEXT);
  // Without an engine to answer, or when the move could not reach it, the board stays
  // the user's; else it is locked until the engine's move has been shown.
  if (!EngineObj || !EngineObj->IsConnected() || !SendUserMove(text, before, rightsBefore)) return;
  Game.SetEngineThinking(true);
  if (Owner) Owner->SetStatusText(THINKING_TEXT);
}

// ---------------------------------------------------------------------------
// Slides

TPieceSlide TFormOpengl::SlideFrom(const TBoardPiece& piece, float toX, float toZ, double start,
                                   double seconds) const {
  const TGLCoordinates& at = piece.Obj->Position();
  return TPieceSlide({at.X(), at.Z()}, {toX, toZ}, start, seconds);
}

void TFormOpengl::MoveAlong(TBoardPiece& piece, const TPieceSlide& slide, double now) {
  const TSlidePoint at = slide.At(now);
  piece.Obj->Position().SetZ(at.Z);
  piece.Obj->Position().SetX(at.X);
}

TBoardPiece* TFormOpengl::VictimOf(const TBoardMove& move, const TMoveEffects& effects) const {
  if (TBoardPiece* taken = PieceAtSquare(move.To)) return taken;
  return effects.Taken.OnBoard() ? PieceAtSquare(effects.Taken) : nullptr;
}

void TFormOpengl::StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) {
  // An engine move while the last one still slides: that one ends at once.
  if (MovingPiece || CastleRook) StopAnimations();
  AnimTargetZ = move.To.Row * SquareSize + BoardOriginZ;
  AnimTargetX = move.To.Col * SquareSize + BoardOriginX;
  MovingPiece = PieceAtSquare(move.From);
  if (!MovingPiece) {
    Dialogs().ShowMessage("The engine moved from " + move.From.Name() +
                          ", where the board shows no piece; the board is drawn again from the position.");
    RefreshPieces();
    EngineMoveShown();
    return;
  }
  EngineVictim = VictimOf(move, effects);
  if (EngineVictim) EngineVictim->Row = CAPTURED_ROW;
  // Castling: the rook slides once the king has arrived.
  CastleRook = effects.RookFrom.OnBoard() ? PieceAtSquare(effects.RookFrom) : nullptr;
  CastleRookCol = effects.RookTo.Col;
  const double now = SlideClock();
  const double seconds = CastleRook ? ENGINE_SLIDE_SECONDS / 2 : ENGINE_SLIDE_SECONDS;
  MovingSlide = SlideFrom(*MovingPiece, float(AnimTargetX), float(AnimTargetZ), now, seconds);
  if (EngineVictim) {
    const TGLCoordinates& at = EngineVictim->Obj->Position();
    EngineVictimSlide = SlideFrom(*EngineVictim, at.X() - ENGINE_VICTIM_DISTANCE, at.Z(), now, seconds);
  }
  MovingPiece->Row = move.To.Row;
  MovingPiece->Col = move.To.Col;
  for (const auto& piece : PieceSlots)
    if (piece) SetEmission(*piece, SavedEmission);
  SetEmission(*MovingPiece, HIGHLIGHT_EMISSION);
  EngineSlideTimer->start();
}

void TFormOpengl::StepEngineSlide() {
  if (!MovingPiece) {
    EngineSlideTimer->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*MovingPiece, MovingSlide, now);
  if (EngineVictim) MoveAlong(*EngineVictim, EngineVictimSlide, now);
  if (!MovingSlide.Ended(now)) return;
  EngineSlideTimer->stop();
  if (EngineVictim) {
    ParkPiece(*EngineVictim);
    EngineVictim = nullptr;
  }
  TBoardPiece& moved = *MovingPiece;
  MovingPiece = nullptr;
  if (IsPawnLetter(moved.Letter)) ShowPromotion(moved, Game.Board());
  // The rook's slide begins when the king's was to end, not at this later tick: the
  // move as a whole keeps its time.
  if (!StartCastleRookSlide(MovingSlide.End())) EngineMoveShown();
}

bool TFormOpengl::StartCastleRookSlide(double start) {
  if (!CastleRook) return false;
  MovingPiece = CastleRook;
  CastleRook = nullptr;
  AnimTargetX = CastleRookCol * SquareSize + BoardOriginX;
  AnimTargetZ = MovingPiece->Row * SquareSize + BoardOriginZ;
  MovingSlide = SlideFrom(*MovingPiece, float(AnimTargetX), float(AnimTargetZ), start, ENGINE_SLIDE_SECONDS / 2);
  MovingPiece->Col = CastleRookCol;
  CastleRookSlideTimer->start();
  return true;
}

void TFormOpengl::StepCastleRookSlide() {
  if (!MovingPiece) {
    CastleRookSlideTimer->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*MovingPiece, MovingSlide, now);
  if (!MovingSlide.Ended(now)) return;
  CastleRookSlideTimer->stop();
  MovingPiece = nullptr;
  EngineMoveShown();
}

void TFormOpengl::StartUserVictimSlide(TBoardPiece& victim) {
  victim.Row = CAPTURED_ROW;
  UserVictim = &victim;
  const TGLCoordinates& at = victim.Obj->Position();
  const double seconds = std::max(0.0, double(at.X() - USER_VICTIM_END_X) / USER_VICTIM_SPEED);
  UserVictimSlide = SlideFrom(victim, USER_VICTIM_END_X, at.Z(), SlideClock(), seconds);
  UserVictimSlideTimer->start();
}

void TFormOpengl::StepUserVictimSlide() {
  // Nothing slides: the timer rests until the next capture.
  if (!UserVictim) {
    UserVictimSlideTimer->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*UserVictim, UserVictimSlide, now);
  if (!UserVictimSlide.Ended(now)) return;
  ParkPiece(*UserVictim);
  UserVictim = nullptr;
  UserVictimSlideTimer->stop();
}

void TFormOpengl::EngineMoveShown() {
  Game.SetEngineThinking(false);
  // A result or a message the engine put there stays.
  if (!Owner) return;
  const std::string status = Owner->StatusText();
  if (status == THINKING_TEXT || status == WAIT_TEXT) Owner->SetStatusText(YOUR_MOVE_TEXT);
}

void TFormOpengl::StopAnimations() {
  const bool engineSliding = MovingPiece || CastleRook;
  EngineSlideTimer->stop();
  CastleRookSlideTimer->stop();
  UserVictimSlideTimer->stop();
  // What was on its way lands where it was going.
  if (MovingPiece) MoveModelTo(*MovingPiece, MovingPiece->Square());
  if (CastleRook) {
    CastleRook->Col = CastleRookCol;
    MoveModelTo(*CastleRook, CastleRook->Square());
  }
  for (TBoardPiece* victim : {EngineVictim, UserVictim})
    if (victim) ParkPiece(*victim);
  MovingPiece = EngineVictim = UserVictim = CastleRook = nullptr;
  if (engineSliding) EngineMoveShown();
}

void TFormOpengl::RefreshPieces() {
  StopAnimations();
  if (HeldPiece) SetEmission(*HeldPiece, SavedEmission);
  HeldPiece = nullptr;
  DropMarker->SetVisible(false);
  ShowPosition(Game.Board());
}

void TFormOpengl::PlaceFirstPieces() {
  if (!FirstPiecesTimer) return;
  FirstPiecesTimer->stop();
  // This window's own pieces: the tick may come in the event loop of a message box
  // that the window shows while it is being made, before the main window knows it.
  RefreshPieces();
  // It runs once in the window's life.
  FirstPiecesTimer->deleteLater();
  FirstPiecesTimer = nullptr;
}

// ---------------------------------------------------------------------------
// The camera

void TFormOpengl::OrbitCamera() {
  const TVector was = Camera->Position().AsVector();
  if (!HeldPiece && (CurMouseX != LastMouseX || CurMouseY != LastMouseY) && was.y >= float(CameraMinHeight)) {
    Camera->OrbitTarget(float(LastMouseY - CurMouseY), float(LastMouseX - CurMouseX));
    LastMouseX = CurMouseX;
    LastMouseY = CurMouseY;
  }
  // A step that would take the camera under the board is undone.
  if (Camera->Position().Y() < float(CameraMinHeight)) Camera->Position().SetAsVector(was);
}

void TFormOpengl::ZoomCamera(int wheelDelta) {
  const float distance = Camera->TargetDistance();
  if (distance > 1800)
    Camera->ScaleDistanceToTarget(1 / 1.01f);
  else if (distance < 20)
    Camera->ScaleDistanceToTarget(1.01f);
  else
    Camera->ScaleDistanceToTarget(float(std::pow(1.1, wheelDelta / 1000.0)));
}

void TFormOpengl::wheelEvent(QWheelEvent* event) {
  // Over the engine page the board is hidden: the wheel is left to the page.
  if (Pages->currentWidget() != BoardPage) {
    event->ignore();
    return;
  }
  const int delta = event->angleDelta().y();
  RunGuarded([&] { ZoomCamera(delta); });
  event->accept();
}

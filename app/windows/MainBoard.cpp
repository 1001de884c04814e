// The board window's play: the user's move with the mouse, the slides of the
// engine's moves and of captured pieces, and the camera that the mouse turns and the
// wheel brings nearer.

#include "app/windows/Main.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>

#include "FormSupport.h"
#include "app/game/maindefine.h"
#include "app/game/utility.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCadencer.h"
#include "scene/GLCamera.h"
#include "scene/objects/GLQuadrics.h"

// ---------------------------------------------------------------------------
// The user's move

void TFormOpengl::PutBack(TBoardPiece& piece) {
  piece.Obj->Position().SetX(Drag.StartX);
  piece.Obj->Position().SetZ(Drag.StartZ);
}

void TFormOpengl::PressOnBoard(TObject*, TMouseButton, TShiftState, int x, int y) {
  OrbitCadencer->SetEnabled(true);
  Drag.HeldPiece = nullptr;
  TGLBaseSceneObject* picked = BoardView->Buffer().ObjectAtPixel(x, y);
  TBoardPiece* piece = nullptr;
  if (picked && dynamic_cast<TGLCustomSceneObject*>(picked)) piece = PieceOfObject(picked);
  const TSide userSide = Owner ? Owner->UserSide() : TSide::Light;
  // Locked while the engine thinks and while it starts: the user learns why their piece
  // does not come along.
  const bool starting = EngineObj && EngineObj->IsConnected() && !EngineObj->HasStarted();
  if (piece && (Game.EngineThinking() || starting)) {
    if (piece->Row >= 0 && SideOfLetter(piece->Letter) == userSide && Owner)
      Owner->SetStatusText(starting ? WAIT_STARTING_TEXT : WAIT_TEXT);
    piece = nullptr;
  }
  // Whatever is not held, the drag turns the camera from here.
  if (!piece || piece->Row < 0) {
    Drag.StartOrbit(x, y);
    return;
  }
  if (EngineCaption == NO_ENGINE_CAPTION && Owner) Owner->SetStatusText(NO_ENGINE_CAPTION);
  if (SideOfLetter(piece->Letter) != userSide) {
    Drag.StartOrbit(x, y);
    Dialogs().ShowMessage(OTHER_SIDE_TEXT);
    return;
  }
  Drag.HeldPiece = piece;
  // The piece gets its own emission back when put down. SavedEmission, which every
  // piece gets when the board is shown anew, stays a plain one: the engine's last
  // moved piece, still highlighted, is no pattern for the others.
  Drag.HeldEmission = Emission(*piece);
  if (Drag.HeldEmission != HIGHLIGHT_EMISSION) SavedEmission = Drag.HeldEmission;
  SetEmission(*piece, HIGHLIGHT_EMISSION);
  Drag.StartX = piece->Obj->Position().X();
  Drag.StartZ = piece->Obj->Position().Z();
  // A release without a drag drops it where it stands.
  Drag.Drop = piece->Square();
}

void TFormOpengl::DragOnBoard(TObject*, TShiftState shift, int x, int y) {
  if (!(shift & ssLeft)) return;
  if (Drag.HeldPiece) {
    // The board's point under the mouse, behind the held piece and any other: the
    // frame's depth there is the held piece's own, which would pull it towards the
    // viewer at every move and drop it on a square nobody pointed at.
    TVector w;
    if (!BoardPointAt(BoardView->Buffer(), x, y, w)) return;
    if (w.x < -200 || w.x > 200) return;
    Drag.Drop = SquareOfBoardPoint(w);
    PlaceModelOnPoint(*Drag.HeldPiece, w);
    DropMarker->Position().SetPoint(SquareCentreX(Drag.Drop.Col), 8, SquareCentreZ(Drag.Drop.Row));
    DropMarker->SetVisible(Drag.Drop.OnBoard());
  } else if (Camera->Position().Y() >= float(CameraMinHeight)) {
    Drag.CurMouseX = x;
    Drag.CurMouseY = y;
  }
  ShowMouseStatus();
}

void TFormOpengl::ShowMouseStatus() {
  StatusBar->showMessage(QString::number(Drag.CurMouseX) + QLatin1Char(' ') + QString::number(Drag.CurMouseY) +
                          QLatin1Char(' ') + QString::number(Drag.LastMouseX));
}

void TFormOpengl::ReleaseOnBoard(TObject*, TMouseButton, TShiftState, int, int) {
  if (Drag.HeldPiece) SetEmission(*Drag.HeldPiece, Drag.HeldEmission);
  OrbitCadencer->SetEnabled(false);
  DropMarker->SetVisible(false);
  if (!Drag.HeldPiece) return;
  TBoardPiece& piece = *Drag.HeldPiece;
  Drag.HeldPiece = nullptr;
  if (Drag.Drop == piece.Square()) {
    PutBack(piece);
    return;
  }
  const TSide side = Owner ? Owner->UserSide() : TSide::Light;
  // Kept while the move waits for the engine's answer: a refusal takes it back.
  const TBitBoards before = Game.Board();
  const TGameRights rightsBefore = Game.Rights();
  // The rules judge the move with the castling rights and en passant; a drop off the
  // board is no move.
  const TBoardMove move{piece.Square(), Drag.Drop};
  const TUserMove played = Game.PlayUserMove(move, side);
  if (!played.Legal) {
    PutBack(piece);
    Dialogs().ShowMessage(ILLEGAL_MOVE_TEXT);
    return;
  }
  MoveModelTo(piece, Drag.Drop);
  Slides.StartUserCapture(move, played.Effects, piece);
  if (played.Effects.RookFrom.OnBoard()) {
    if (TBoardPiece* rook = PieceAtSquare(played.Effects.RookFrom)) {
      MoveModelTo(*rook, played.Effects.RookTo);
      rook->Col = played.Effects.RookTo.Col;
    }
  }
  const std::string text = played.Text;
  piece.Row = Drag.Drop.Row;
  piece.Col = Drag.Drop.Col;
  if (played.Effects.Promoted != EMPTY_SQUARE) ShowPromotion(piece, Game.Board());
  ReportGameEnd(Game, OtherSide(side), USER_MATES_TEXT);
  // Without an engine to answer, or when the move could not reach it, the board stays
  // the user's; else it is locked until the engine's move has been shown.
  if (!EngineObj || !EngineObj->IsConnected() || !SendUserMove(text, before, rightsBefore)) return;
  Game.SetEngineThinking(true);
  ShowGameState();
}

// ---------------------------------------------------------------------------
// Slides

void TFormOpengl::StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) {
  Slides.StartEngineMove(move, effects);
}

void TFormOpengl::RunTicker(TTicker ticker, bool run) {
  QTimer* timer = ticker == TTicker::EngineSlide       ? EngineSlideTimer
                  : ticker == TTicker::CastleRookSlide ? CastleRookSlideTimer
                                                       : UserVictimSlideTimer;
  if (run)
    timer->start();
  else
    timer->stop();
}

void TFormOpengl::EngineMoveShown() {
  Game.SetEngineThinking(false);
  // A result or a message the engine put there stays.
  if (!FEngineStatusShown) ShowGameState();
}

void TFormOpengl::RefreshPieces() {
  Slides.Stop();
  if (Drag.HeldPiece) SetEmission(*Drag.HeldPiece, SavedEmission);
  Drag.HeldPiece = nullptr;
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
  if (!Drag.HeldPiece && Drag.OrbitPending() && was.y >= float(CameraMinHeight)) {
    Camera->OrbitTarget(float(Drag.LastMouseY - Drag.CurMouseY), float(Drag.LastMouseX - Drag.CurMouseX));
    Drag.OrbitDone();
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

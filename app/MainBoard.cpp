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

bool OnBoard(int row, int col) { return row >= 1 && row <= 8 && col >= 1 && col <= 8; }

bool IsPawnLetter(char letter) { return letter == 'p' || letter == 'P'; }
bool IsKingLetter(char letter) { return letter == 'k' || letter == 'K'; }

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

void TFormOpengl::GLSceneViewer1MouseDown(TObject*, TMouseButton, TShiftState, int x, int y) {
  GLCadencer1->SetEnabled(true);
  MouseState = 1;
  HeldPiece = nullptr;
  TGLBaseSceneObject* picked = GLSceneViewer1->Buffer().ObjectAtPixel(x, y);
  TBoardPiece* piece = nullptr;
  if (picked && dynamic_cast<TGLCustomSceneObject*>(picked)) piece = PieceOfObject(picked);
  const bool userLight = !MainForm || MainForm->UserSide() == LIGHT_SIDE;
  // Locked: the user learns why their piece does not come along.
  if (piece && EngineThinking) {
    if (piece->Row >= 0 && IsLightLetter(piece->Letter) == userLight && MainForm) MainForm->SetStatusText(WAIT_TEXT);
    piece = nullptr;
  }
  // Whatever is not held, the drag turns the camera from here.
  if (!piece || piece->Row < 0) {
    StartOrbit(x, y);
    return;
  }
  if (EngineCaption == NO_ENGINE_CAPTION && MainForm) MainForm->SetStatusText(NO_ENGINE_CAPTION);
  if (IsLightLetter(piece->Letter) != userLight) {
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
  DropRow = piece->Row;
  DropCol = piece->Col;
}

void TFormOpengl::GLSceneViewer1MouseMove(TObject*, TShiftState shift, int x, int y) {
  if (!(shift & ssLeft)) return;
  if (HeldPiece) {
    // The board's point under the mouse, behind the held piece and any other: the
    // frame's depth there is the held piece's own, which would pull it towards the
    // viewer at every move and drop it on a square nobody pointed at.
    TVector w;
    if (!BoardPointAt(GLSceneViewer1->Buffer(), x, y, w)) return;
    LastWorldPoint = w;
    if (w.x < -200 || w.x > 200) return;
    SquareOfBoardPoint(w, DropRow, DropCol);
    PlaceModelOnPoint(*HeldPiece, w);
    sphere1->Position().SetPoint(SquareCentreX(DropCol), 8, SquareCentreZ(DropRow));
    sphere1->SetVisible(OnBoard(DropRow, DropCol));
  } else if (GLCamera1->Position().Y() >= float(CameraMinHeight)) {
    CurMouseX = x;
    CurMouseY = y;
  }
  ShowMouseStatus();
}

void TFormOpengl::ShowMouseStatus() {
  StatusBar1->showMessage(QString::number(CurMouseX) + QLatin1Char(' ') + QString::number(CurMouseY) +
                          QLatin1Char(' ') + QString::number(LastMouseX));
}

void TFormOpengl::GLSceneViewer1MouseUp(TObject*, TMouseButton, TShiftState, int x, int y) {
  MouseState = -1;
  if (HeldPiece) SetEmission(*HeldPiece, SavedEmission);
  GLCadencer1->SetEnabled(false);
  sphere1->SetVisible(false);
  if (!HeldPiece) {
    LastWorldPoint = GLSceneViewer1->Buffer().ScreenToWorldPoint(x, y);
    return;
  }
  TBoardPiece& piece = *HeldPiece;
  HeldPiece = nullptr;
  if (DropRow == piece.Row && DropCol == piece.Col) {
    PutBack(piece);
    return;
  }
  const int side = MainForm ? MainForm->UserSide() : LIGHT_SIDE;
  // Kept while the move waits for the engine's answer: a refusal takes it back.
  const TBitBoards before = BitBoards;
  const TGameRights rightsBefore = GameRights;
  // The rules judge the move with the castling rights and en passant; a drop off the
  // board is no move.
  const TUserMove played = PlayUserMove(piece.Row, piece.Col, DropRow, DropCol, side);
  if (!played.Legal) {
    PutBack(piece);
    Dialogs().ShowMessage(ILLEGAL_MOVE_TEXT);
    return;
  }
  MoveModelTo(piece, DropRow, DropCol);
  // A piece taken by the user's last move that is still sliding goes to its place now.
  if (UserVictim) {
    ParkPiece(*UserVictim);
    UserVictim = nullptr;
  }
  TBoardPiece* victim = PieceAtSquare(DropRow, DropCol);
  if (!victim && played.Effects.TakenRow != 0) victim = PieceAtSquare(played.Effects.TakenRow, played.Effects.TakenCol);
  if (victim && victim != &piece) StartUserVictimSlide(*victim);
  if (played.Effects.RookFromCol != 0) {
    if (TBoardPiece* rook = PieceAtSquare(piece.Row, played.Effects.RookFromCol)) {
      MoveModelTo(*rook, rook->Row, played.Effects.RookToCol);
      rook->Col = played.Effects.RookToCol;
    }
  }
  const std::string text = played.Text;
  piece.Row = DropRow;
  piece.Col = DropCol;
  if (played.Effects.Promoted != EMPTY_SQUARE) ShowPromotion(piece);
  if (IsMate(BitBoards, GameRights, 1 - side)) Dialogs().ShowMessage(USER_MATES_TEXT);
  // Without an engine to answer, or when the move could not reach it, the board stays
  // the user's; else it is locked until the engine's move has been shown.
  if (!EngineObj || !EngineObj->IsConnected() || !SendUserMove(text, before, rightsBefore)) return;
  EngineThinking = true;
  if (MainForm) MainForm->SetStatusText(THINKING_TEXT);
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

void TFormOpengl::StartEngineMoveAnimation(int fromCol, int fromRow, int toCol, int toRow) {
  // An engine move while the last one still slides: that one ends at once.
  if (MovingPiece || CastleRook) StopAnimations();
  AnimTargetZ = toRow * SquareSize + BoardOriginZ;
  AnimTargetX = toCol * SquareSize + BoardOriginX;
  MovingPiece = PieceAtSquare(fromRow, fromCol);
  if (!MovingPiece) {
    Dialogs().ShowMessage("The engine moved from " + ColumnToFileLetter(fromCol) + std::to_string(fromRow) +
                          ", where the board shows no piece; the board is drawn again from the position.");
    RefreshPieces();
    EngineMoveShown();
    return;
  }
  EngineVictim = PieceAtSquare(toRow, toCol);
  // En passant: the pawn taken stands beside the mover's square, and the position no
  // longer has it.
  if (!EngineVictim && IsPawnLetter(MovingPiece->Letter) && fromCol != toCol) {
    TBoardPiece* passed = PieceAtSquare(fromRow, toCol);
    if (passed && IsPawnLetter(passed->Letter) && passed->Letter != MovingPiece->Letter &&
        PieceCodeOnSquare(SquareIndex(toCol, fromRow)) == EMPTY_SQUARE)
      EngineVictim = passed;
  }
  if (EngineVictim) EngineVictim->Row = CAPTURED_ROW;
  // Castling: the king goes two columns from its start square and the position has
  // moved its rook; the rook slides once the king has arrived.
  CastleRook = nullptr;
  if (IsKingLetter(MovingPiece->Letter) && fromCol == 4 && fromRow == toRow && (toCol == 2 || toCol == 6)) {
    const int rookFrom = toCol == 2 ? 1 : 8, rookTo = toCol == 2 ? 3 : 5;
    const char rookLetter = IsLightLetter(MovingPiece->Letter) ? 'R' : 'r';
    TBoardPiece* rook = PieceAtSquare(fromRow, rookFrom);
    if (rook && rook->Letter == rookLetter && PieceToChar(PieceCodeOnSquare(SquareIndex(rookTo, fromRow))) == rookLetter) {
      CastleRook = rook;
      CastleRookCol = rookTo;
    }
  }
  const double now = SlideClock();
  const double seconds = CastleRook ? ENGINE_SLIDE_SECONDS / 2 : ENGINE_SLIDE_SECONDS;
  MovingSlide = SlideFrom(*MovingPiece, float(AnimTargetX), float(AnimTargetZ), now, seconds);
  if (EngineVictim) {
    const TGLCoordinates& at = EngineVictim->Obj->Position();
    EngineVictimSlide = SlideFrom(*EngineVictim, at.X() - ENGINE_VICTIM_DISTANCE, at.Z(), now, seconds);
  }
  MovingPiece->Row = toRow;
  MovingPiece->Col = toCol;
  for (const auto& piece : PieceSlots)
    if (piece) SetEmission(*piece, SavedEmission);
  SetEmission(*MovingPiece, HIGHLIGHT_EMISSION);
  movepezzo->start();
}

void TFormOpengl::movepezzoTimer() {
  if (!MovingPiece) {
    movepezzo->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*MovingPiece, MovingSlide, now);
  if (EngineVictim) MoveAlong(*EngineVictim, EngineVictimSlide, now);
  if (!MovingSlide.Ended(now)) return;
  movepezzo->stop();
  if (EngineVictim) {
    ParkPiece(*EngineVictim);
    EngineVictim = nullptr;
  }
  TBoardPiece& moved = *MovingPiece;
  MovingPiece = nullptr;
  if (IsPawnLetter(moved.Letter)) ShowPromotion(moved);
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
  movepezzoarrocco->start();
  return true;
}

void TFormOpengl::movepezzoarroccoTimer() {
  if (!MovingPiece) {
    movepezzoarrocco->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*MovingPiece, MovingSlide, now);
  if (!MovingSlide.Ended(now)) return;
  movepezzoarrocco->stop();
  MovingPiece = nullptr;
  EngineMoveShown();
}

void TFormOpengl::StartUserVictimSlide(TBoardPiece& victim) {
  victim.Row = CAPTURED_ROW;
  UserVictim = &victim;
  const TGLCoordinates& at = victim.Obj->Position();
  const double seconds = std::max(0.0, double(at.X() - USER_VICTIM_END_X) / USER_VICTIM_SPEED);
  UserVictimSlide = SlideFrom(victim, USER_VICTIM_END_X, at.Z(), SlideClock(), seconds);
  mangiapezzotimer->start();
}

void TFormOpengl::mangiapezzomoveTimer() {
  // Nothing slides: the timer rests until the next capture.
  if (!UserVictim) {
    mangiapezzotimer->stop();
    return;
  }
  const double now = SlideClock();
  MoveAlong(*UserVictim, UserVictimSlide, now);
  if (!UserVictimSlide.Ended(now)) return;
  ParkPiece(*UserVictim);
  UserVictim = nullptr;
  mangiapezzotimer->stop();
}

void TFormOpengl::EngineMoveShown() {
  EngineThinking = false;
  // A result or a message the engine put there stays.
  if (!MainForm) return;
  const std::string status = MainForm->StatusText();
  if (status == THINKING_TEXT || status == WAIT_TEXT) MainForm->SetStatusText(YOUR_MOVE_TEXT);
}

void TFormOpengl::StopAnimations() {
  const bool engineSliding = MovingPiece || CastleRook;
  movepezzo->stop();
  movepezzoarrocco->stop();
  mangiapezzotimer->stop();
  // What was on its way lands where it was going.
  if (MovingPiece) MoveModelTo(*MovingPiece, MovingPiece->Row, MovingPiece->Col);
  if (CastleRook) {
    CastleRook->Col = CastleRookCol;
    MoveModelTo(*CastleRook, CastleRook->Row, CastleRook->Col);
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
  sphere1->SetVisible(false);
  ShowPosition();
}

void TFormOpengl::Fillpieces() {
  if (!fillpiecestimer) return;
  fillpiecestimer->stop();
  // This window's own pieces: the tick may come in the event loop of a message box
  // that the window shows while it is being made, before the main window knows it.
  RefreshPieces();
  // It runs once in the window's life.
  fillpiecestimer->deleteLater();
  fillpiecestimer = nullptr;
}

// ---------------------------------------------------------------------------
// The camera

void TFormOpengl::GLCadencer1Progress(TObject*, double deltaTime, double newTime) { HandleKeys(deltaTime, newTime); }

void TFormOpengl::HandleKeys(double, double) {
  const TVector was = GLCamera1->Position().AsVector();
  if (!HeldPiece && (CurMouseX != LastMouseX || CurMouseY != LastMouseY) && was.y >= float(CameraMinHeight)) {
    GLCamera1->OrbitTarget(float(LastMouseY - CurMouseY), float(LastMouseX - CurMouseX));
    LastMouseX = CurMouseX;
    LastMouseY = CurMouseY;
  }
  // A step that would take the camera under the board is undone.
  if (GLCamera1->Position().Y() < float(CameraMinHeight)) GLCamera1->Position().SetAsVector(was);
}

void TFormOpengl::FormMouseWheel(int wheelDelta) {
  const float distance = GLCamera1->TargetDistance();
  if (distance > 1800)
    GLCamera1->ScaleDistanceToTarget(1 / 1.01f);
  else if (distance < 20)
    GLCamera1->ScaleDistanceToTarget(1.01f);
  else
    GLCamera1->ScaleDistanceToTarget(float(std::pow(1.1, wheelDelta / 1000.0)));
}

void TFormOpengl::wheelEvent(QWheelEvent* event) {
  // Over the engine page the board is hidden: the wheel is left to the page.
  if (PageControl1->currentWidget() != TabSheet1) {
    event->ignore();
    return;
  }
  const int delta = event->angleDelta().y();
  RunGuarded([&] { FormMouseWheel(delta); });
  event->accept();
}

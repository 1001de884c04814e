// The board window played as a user plays it: mouse events at the pixels where the
// squares are drawn, the engine's moves from a scripted engine, from the engine
// front end and from a real engine, and frames read back from the window.

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <dlfcn.h>

#include "FormTestSupport.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCadencer.h"
#include "scene/GLCamera.h"
#include "scene/GLzBuffer.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "scene/objects/GLQuadrics.h"

namespace fs = std::filesystem;

// Every question to the rules library, recorded on its way there.
struct TRulesCall {
  int Side, From, To;
  bool operator==(const TRulesCall&) const = default;
};
static std::vector<TRulesCall> RulesCalls;

#define BRV_BITBOARD_ARGS(n) bb##n##Low, bb##n##High
extern "C" int32_t controlla_mossa(int32_t side, int32_t from, int32_t to, BRV_CHECK_BITBOARDS) {
  using TRules = int32_t (*)(int32_t, int32_t, int32_t, BRV_CHECK_BITBOARDS);
  static const auto rules = reinterpret_cast<TRules>(dlsym(RTLD_NEXT, "controlla_mossa"));
  RulesCalls.push_back({side, from, to});
  return rules(side, from, to, BRV_BITBOARD_ARGS(0), BRV_BITBOARD_ARGS(1), BRV_BITBOARD_ARGS(2),
               BRV_BITBOARD_ARGS(3), BRV_BITBOARD_ARGS(4), BRV_BITBOARD_ARGS(5), BRV_BITBOARD_ARGS(6),
               BRV_BITBOARD_ARGS(7), BRV_BITBOARD_ARGS(8), BRV_BITBOARD_ARGS(9), BRV_BITBOARD_ARGS(10),
               BRV_BITBOARD_ARGS(11));
}

namespace {

using namespace std::chrono_literals;

class BoardWindow : public MainWindow {
protected:
  void SetUp() override {
    MainWindow::SetUp();
    RulesCalls.clear();
    // The whole board in view from the start camera.
    Form->resize(1200, 1000);
    ASSERT_TRUE(WaitFor([this] { return Board->FirstPiecesTimer == nullptr; }));
    Board->ShowClassicBoard();
    Board->SetClassicBoardPicture(1);
    NextFrame();
  }
  void TearDown() override {
    MainWindow::TearDown();
    if (!Folder.empty()) fs::remove_all(Folder);
  }

  TGLSceneBuffer& View() { return Board->BoardView->Buffer(); }
  // Waits for a frame drawn from now on, and what comes right after it.
  void NextFrame() {
    const int frames = View().FrameCount();
    ASSERT_TRUE(WaitFor([&] { return View().FrameCount() > frames; }));
    QTest::qWait(10);
  }
  // A frame drawn after the last change, as the screen shows it.
  QImage Frame() { return ShownFrame(*Board->BoardView); }
  void SetPosition(const char* fen) {
    ASSERT_TRUE(Form->Game.LoadFen(fen));
    Form->RefreshBoard();
    NextFrame();
  }

  // Where a point of AllObjects' frame is drawn, in the viewer's pixels.
  QPoint PixelOf(TVector local) {
    TGLzBuffer view;
    view.AttachToViewer(View());
    float x = 0, y = 0, depth = 0;
    view.WorldToPixel(Vec3Of(Board->AllObjects->LocalPointToWorld(local)), x, y, depth);
    return QPoint(int(x), View().Height() - 1 - int(y));
  }
  // The middle of a square on the board's surface, or `height` above it.
  QPoint SquarePixel(TSquare s, float height = 0) {
    return PixelOf({float(s.Col * 30 - 155), -25 + height, float(s.Row * 30 - 130), 1});
  }

  // A pixel where the piece on `s` is drawn: up its axis, the first height at which no
  // nearer piece hides it (in a game, pieces stand in front of each other); none when
  // nearer pieces hide it all the way up.
  std::optional<QPoint> ShownPiecePixel(TSquare s) {
    const TBoardPiece* piece = Board->PieceAtSquare(s);
    for (float height : {12.f, 8.f, 16.f, 20.f, 5.f, 25.f, 30.f}) {
      const QPoint p = SquarePixel(s, height);
      if (piece && Board->PieceOfObject(View().ObjectAtPixel(p.x(), p.y())) == piece) return p;
    }
    return std::nullopt;
  }
  QPoint PiecePixel(TSquare s) { return ShownPiecePixel(s).value_or(SquarePixel(s, 12)); }

  // Picks the piece on `from` and drags it to `to` in steps, each drawn before the next.
  void Drag(TSquare from, TSquare to) {
    QWidget* view = Board->BoardView;
    const QPoint start = PiecePixel(from), at = SquarePixel(to);
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    ASSERT_NE(Board->Drag.HeldPiece, nullptr) << "nothing picked on " << from.Row << " " << from.Col;
    for (int i = 1; i <= 6; ++i) {
      QTest::mouseMove(view, start + (at - start) * i / 6);
      NextFrame();
    }
    // The marker stands on the square under the mouse.
    EXPECT_EQ(Board->DropMarker->Visible(), to.OnBoard());
    EXPECT_EQ(Board->Drag.Drop, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
    NextFrame();
  }

  // The folder of the stand-in engine's script and log.
  static fs::path EngineFolder() { return fs::temp_directory_path() / ("brvboard." + std::to_string(::getpid())); }
  // Loads the stand-in engine on a script (one command a line); `silenceNudge` 0: no
  // "post" reminders, the scripts say what they are to say.
  void LoadEngine(const std::string& script, std::chrono::milliseconds silenceNudge = 0ms) {
    Folder = EngineFolder();
    fs::create_directories(Folder);
    WriteBytes(Folder / "script", script);
    TEngineDelays fast;
    fast.StartWait = fast.HandshakeWait = fast.LineGap = 0ms;
    fast.SilenceNudge = silenceNudge;
    Board->EngineDelays = fast;
    Board->LoadEngine(FAKE_ENGINE_PATH, (Folder / "script").string() + " " + (Folder / "log").string());
  }
  // The same, and waits until it has started.
  void StartEngine(const std::string& script) {
    LoadEngine(script);
    ASSERT_TRUE(WaitFor([this] { return Board->EngineObj && Board->EngineObj->HasStarted(); }));
  }
  std::string Received() { return ReadBytes(Folder / "log"); }

  // The engine's move as the front end hands it over from the reader.
  void EngineSays(const std::string& line, TSide engineSide = TSide::Dark) {
    TLineSplitter lines;
    HandleEngineChunk(MakeEngineChunk(lines, line + "\n", false), Form->Game, engineSide, Board);
  }
  bool Idle() {
    return !Board->EngineSlideTimer->isActive() && !Board->CastleRookSlideTimer->isActive() &&
           !Board->UserVictimSlideTimer->isActive();
  }
  void WaitIdle() { ASSERT_TRUE(WaitFor([this] { return Idle() && !Form->Game.EngineThinking(); }, 60000)); }

  // Every model on the board stands where its record says and the records are the
  // position; every captured model is parked.
  void ExpectBoardIsThePosition() {
    int onBoard = 0;
    for (const auto& piece : Board->PieceSlots) {
      if (!piece || piece->Row == UNPLACED_ROW) continue;
      if (piece->Row == CAPTURED_ROW) {
        EXPECT_LE(piece->Obj->Position().X(), 230);
        continue;
      }
      ++onBoard;
      EXPECT_EQ(PieceToChar(PieceCodeOnSquare(Form->Game.Board(), piece->Square().Index())), piece->Letter)
          << piece->Row << " " << piece->Col;
      EXPECT_EQ(piece->Obj->Position().X(), Board->SquareX(piece->Col));
      EXPECT_EQ(piece->Obj->Position().Z(), Board->SquareZ(piece->Row));
      EXPECT_TRUE(piece->Obj->Visible());
    }
    int occupied = 0;
    for (std::uint64_t bits : Form->Game.Board()) occupied += std::popcount(bits);
    EXPECT_EQ(onBoard, occupied);
  }
  // The engine's ...Kd7 from e8, the light king on e1, shown whole.
  void EngineMovesItsKing() {
    SetPosition("4k3/8/8/8/8/8/8/4K3/ b - - 0 1");
    Form->Game.SetEngineThinking(true);
    EngineSays("move e8d7");
    WaitIdle();
  }
  TBoardPiece& At(TSquare s) {
    TBoardPiece* piece = Board->PieceAtSquare(s);
    EXPECT_NE(piece, nullptr) << s.Row << " " << s.Col;
    return *piece;
  }

  fs::path Folder;
};

// Every legal move of `side`.
std::vector<TBoardMove> LegalMoves(const TBitBoards& board, const TGameRights& rights, TSide side) {
  std::vector<TBoardMove> moves;
  for (int from = 0; from < 64; ++from) {
    if (PieceOfSide(board, side, from) == EMPTY_SQUARE) continue;
    for (int to = 0; to < 64; ++to) {
      const TBoardMove move{from / 8 + 1, from % 8 + 1, to / 8 + 1, to % 8 + 1, 0};
      if (IsLegalUserMove(board, rights, move, side)) moves.push_back(move);
    }
  }
  return moves;
}

// Light's material less dark's, a pawn 1, a knight or bishop 3, a rook 5, a queen 9.
int Material(const TBitBoards& board) {
  // By piece code: p P r R b B n N k K q Q.
  constexpr int VALUES[] = {1, 5, 3, 3, 0, 9};
  int total = 0;
  for (int code = 0; code < 12; ++code)
    total += (code % 2 ? 1 : -1) * VALUES[code / 2] * std::popcount(board[code]);
  return total;
}

// Squares by name: column 1 is the h-file.
TSquare Sq(const char* name) { return {name[1] - '0', 8 - (name[0] - 'a')}; }

// On either board every piece stands on its square and changes the pixels there.
TEST_F(BoardWindow, StartShowsEveryPieceOnItsSquare) {
  ExpectBoardIsThePosition();
  TBoardPiece& king = At(Sq("e1"));
  EXPECT_EQ(king.Letter, 'K');
  EXPECT_TRUE(Vec4Equal(king.Obj->Position().AsVector(), {410, -170, -30, 1}));
  EXPECT_EQ(king.Obj->Name(), "a28");
  for (const bool artistic : {true, false}) {
    if (artistic) {
      ASSERT_TRUE(Board->LoadArtisticBoard());
    } else {
      Board->ShowClassicBoard();
    }
    EXPECT_EQ(Board->LightBoardMesh != nullptr, artistic);
    EXPECT_EQ(Board->DarkBoardMesh != nullptr, artistic);
    EXPECT_EQ(Board->ClassicBoard->Visible(), !artistic);
    for (const auto& piece : Board->PieceSlots)
      if (piece) piece->Obj->SetVisible(true);
    const QImage pieces = Frame();
    for (const auto& piece : Board->PieceSlots)
      if (piece) piece->Obj->SetVisible(false);
    const QImage empty = Frame();
    ASSERT_EQ(pieces.size(), empty.size());
    int shown = 0;
    for (const auto& piece : Board->PieceSlots) {
      if (!piece) continue;
      const QPoint at = SquarePixel({piece->Row, piece->Col}, 8);
      int changed = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
          if (empty.rect().contains(at + QPoint(dx, dy)))
            changed += pieces.pixel(at + QPoint(dx, dy)) != empty.pixel(at + QPoint(dx, dy));
      EXPECT_GE(changed, 20) << piece->Letter << " on " << piece->Row << " " << piece->Col;
      shown += changed >= 20;
    }
    EXPECT_EQ(shown, 32) << (artistic ? "artistic" : "classic");
  }
  // Nothing runs while nothing moves.
  EXPECT_FALSE(Board->OrbitCadencer->Enabled());
  EXPECT_TRUE(Idle());
}

// An engine that says nothing after its opening is still starting: the board stays
// locked and says so, until the engine speaks.
TEST_F(BoardWindow, WhileTheEngineStartsTheBoardSaysSoAndStaysLocked) {
  const fs::path speak = EngineFolder() / "speak";
  // Reminded each second, forty times at most: far beyond the test.
  LoadEngine("expect protover 2\nawait " + speak.string() + "\nsay feature done=1\nexpect e2e4\n", 1000ms);
  EXPECT_EQ(Form->StatusText(), ENGINE_STARTING_TEXT);
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  EXPECT_FALSE(Board->EngineObj->HasStarted());
  EXPECT_EQ(Form->StatusText(), ENGINE_STARTING_TEXT);
  // Also after New Match, which gives the board back to the user.
  for (bool newMatch : {false, true}) {
    if (newMatch) Board->NewMatchButton->trigger();
    QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, PiecePixel(Sq("e2")));
    EXPECT_EQ(Board->Drag.HeldPiece, nullptr);
    QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, PiecePixel(Sq("e2")));
    EXPECT_EQ(Form->StatusText(), WAIT_STARTING_TEXT);
  }
  WriteBytes(speak, "");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted(); }));
  EXPECT_EQ(Form->StatusText(), "Ready");
  EXPECT_FALSE(Form->Game.EngineThinking());
  Drag(Sq("e2"), Sq("e4"));
  EXPECT_EQ(Form->StatusText(), THINKING_TEXT);
  ASSERT_TRUE(WaitFor([this] { return Received().ends_with("e2e4\n"); }));
  EXPECT_TRUE(Form->Game.EngineThinking());
}

// e2-e4 goes to the rules, the engine and the status line; the board stays locked
// until the engine's e7-e5 has slid onto its square. The engine answers once the test
// has seen the lock.
TEST_F(BoardWindow, UserMoveGoesToTheEngineAndItsAnswerSlides) {
  StartEngine("expect e2e4\nawait " + (EngineFolder() / "answer").string() + "\nsay move e7e5\n");
  RulesCalls.clear();
  Drag(Sq("e2"), Sq("e4"));
  EXPECT_EQ(RulesCalls, (std::vector<TRulesCall>{{1, 11, 27}}));
  EXPECT_EQ(At(Sq("e4")).Letter, 'P');
  EXPECT_TRUE(Form->Game.EngineThinking());
  EXPECT_EQ(Form->StatusText(), "Thinking...");
  ASSERT_TRUE(WaitFor([this] { return Received().find("e2e4\n") != std::string::npos; }));
  EXPECT_EQ(Received().substr(Received().find("e2e4")), "e2e4\n");
  // Locked: a press on the engine's piece says nothing ...
  QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, PiecePixel(Sq("d7")));
  QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, PiecePixel(Sq("d7")));
  EXPECT_EQ(Form->StatusText(), "Thinking...");
  // ... one on the user's picks nothing, says why and turns the camera instead.
  QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, SquarePixel(Sq("d2"), 12));
  EXPECT_EQ(Board->Drag.HeldPiece, nullptr);
  EXPECT_EQ(Board->Drag.LastMouseX, SquarePixel(Sq("d2"), 12).x());
  QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, SquarePixel(Sq("d2"), 12));
  EXPECT_EQ(Form->StatusText(), "Wait: the engine is thinking");
  WriteBytes(Folder / "answer", "");
  // It slides: seen on its way, then on e5.
  ASSERT_TRUE(WaitFor([this] { return Board->Slides.MovingPiece() != nullptr; }));
  const TGLCoordinates& pawn = Board->Slides.MovingPiece()->Obj->Position();
  EXPECT_EQ(pawn.X(), 410);
  ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking(); }));
  EXPECT_EQ(pawn.X(), 410);
  EXPECT_EQ(pawn.Z(), 90);
  EXPECT_EQ(At(Sq("e5")).Letter, 'p');
  // Shown: the board is the user's again, and the status line says so.
  EXPECT_EQ(Form->StatusText(), "Your move");
  EXPECT_TRUE(Recorded.Messages.empty());
  ExpectBoardIsThePosition();
}

// An engine move that cannot be applied is named with the engine's line; the position
// stays as it was, the board is the user's again, and the game goes on.
TEST_F(BoardWindow, EngineMovesThatCannotBeAppliedAreReportedAndTheUserPlaysOn) {
  StartEngine("expect e2e4\nsay move zz99\nexpect d2d4\nsay move e2e4\nexpect g1f3\nsay move e7e5\n");
  const std::pair<const char*, const char*> turns[] = {{"e2e4", "move zz99"}, {"d2d4", "move e2e4"}};
  for (const auto& [move, answer] : turns) {
    Recorded.Messages.clear();
    Drag(Sq(std::string(move, 2).c_str()), Sq(move + 2));
    const std::string placement = FenPlacementText(Form->Game.Board());
    ASSERT_TRUE(WaitFor([this] { return !Recorded.Messages.empty(); })) << move;
    const std::string report = std::string("Illegal move from host engine: ") + answer;
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{report});
    EXPECT_EQ(Form->StatusText(), report);
    EXPECT_FALSE(Form->Game.EngineThinking()) << move;
    EXPECT_EQ(FenPlacementText(Form->Game.Board()), placement) << move;
    ExpectBoardIsThePosition();
  }
  Recorded.Messages.clear();
  Drag(Sq("g1"), Sq("f3"));
  WaitIdle();
  EXPECT_EQ(At(Sq("e5")).Letter, 'p');
  EXPECT_EQ(Form->StatusText(), "Your move");
  EXPECT_TRUE(Recorded.Messages.empty());
  ExpectBoardIsThePosition();
}

// The engine refuses the user's moves, each in its own words: a castle, a capture that
// promotes, an en passant capture and a check. Each is taken back with its side effects
// and rights, the board is the user's again at once, and the next move is answered.
TEST_F(BoardWindow, RefusedUserMovesAreTakenBackAndTheGameGoesOn) {
  StartEngine("expect e1g1\nsay Illegal move: e1g1\nexpect b7a8q\nsay Illegal move (no such move): b7a8q\n"
              "expect e5d6\nsay Invalid move: e5d6\nexpect h1h8\nwrite Illegal move:h1h8\\r\\n\n"
              "expect e1d1\nsay move e8d7\n");
  const std::string fen = "r3k3/1P6/8/3pP3/8/8/8/4K2R w Kq d6 0 31";
  SetPosition(fen.c_str());
  const std::size_t sent = Received().size();
  const std::pair<const char*, const char*> refused[] = {{"e1g1", "Illegal move: e1g1"},
                                                         {"b7a8", "Illegal move (no such move): b7a8q"},
                                                         {"e5d6", "Invalid move: e5d6"},
                                                         {"h1h8", "Illegal move:h1h8"}};
  for (const auto& [move, answer] : refused) {
    Recorded.Messages.clear();
    Drag(Sq(std::string(move, 2).c_str()), Sq(move + 2));
    ASSERT_TRUE(WaitFor([this] { return !Recorded.Messages.empty(); }, 60000)) << move;
    const std::string report = std::string("Illegal move from host engine: ") + answer;
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{report});
    EXPECT_EQ(Form->StatusText(), report);
    EXPECT_FALSE(Form->Game.EngineThinking()) << move;
    EXPECT_TRUE(Idle()) << move;
    EXPECT_EQ(FenClipboardText(Form->Game.Board(), Form->Game.Rights()), fen) << move;
    ExpectBoardIsThePosition();
  }
  EXPECT_EQ(At(Sq("b7")).Letter, 'P');
  EXPECT_EQ(At(Sq("a8")).Letter, 'r');
  EXPECT_EQ(At(Sq("d5")).Letter, 'p');
  Recorded.Messages.clear();
  Drag(Sq("e1"), Sq("d1"));
  WaitIdle();
  EXPECT_EQ(At(Sq("d7")).Letter, 'k');
  EXPECT_EQ(Form->StatusText(), "Your move");
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  ExpectBoardIsThePosition();
  // The engine had each move once and nothing besides.
  EXPECT_EQ(Received().substr(sent), "e1g1\nb7a8q\ne5d6\nh1h8\ne1d1\n");
}

// Refusals of lines that are not the user's move waiting for its answer, here lines
// typed on the engine page, change nothing but say so: with the board the user's, and
// while the user's move waits, which the engine then answers.
TEST_F(BoardWindow, RefusalsOfOtherLinesLeaveTheGameAsItIs) {
  StartEngine("expect sd 2\nsay Illegal move: sd 2\nexpect e2e4\nexpect st 1\nsay Invalid move: st 1\nawait " +
              (EngineFolder() / "answer").string() + "\nsay move e7e5\n");
  auto type = [this](const char* line) {
    Board->Pages->setCurrentWidget(Board->EnginesPage);
    Board->CommandBox->lineEdit()->clear();
    QTest::keyClicks(Board->CommandBox->lineEdit(), QString::fromLatin1(line));
    QTest::mouseClick(Board->SendButton, Qt::LeftButton);
    Board->Pages->setCurrentWidget(Board->BoardPage);
  };
  // No move was refused: the engine's answer is shown on the status line and in the
  // engine page's log, without a message box.
  type("sd 2");
  ASSERT_TRUE(WaitFor([this] { return Form->StatusText() == "Illegal move: sd 2"; }, 60000));
  EXPECT_NE(Board->ReceivedMemo->toPlainText().indexOf(QStringLiteral("Illegal move: sd 2")), -1);
  EXPECT_EQ(FenClipboardText(Form->Game.Board(), Form->Game.Rights()), START_POSITION_FEN);
  EXPECT_FALSE(Form->Game.EngineThinking());
  ExpectBoardIsThePosition();
  Drag(Sq("e2"), Sq("e4"));
  EXPECT_EQ(Form->StatusText(), THINKING_TEXT);
  type("st 1");
  // While the user's move waits: the notice goes when the engine's answer is shown.
  ASSERT_TRUE(WaitFor([this] { return Form->StatusText() == "Invalid move: st 1"; }, 60000));
  WriteBytes(Folder / "answer", "");
  WaitIdle();
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  EXPECT_EQ(At(Sq("e4")).Letter, 'P');
  EXPECT_EQ(At(Sq("e5")).Letter, 'p');
  EXPECT_EQ(Form->StatusText(), "Your move");
  ExpectBoardIsThePosition();
}

// A pasted or loaded position goes to the engine, here one whose features ask for edit
// mode, and the game goes on from it: the engine moves at once when the position has
// its side to move, else after the user's move.
TEST_F(BoardWindow, PositionsGoToTheEngineAndTheGameGoesOnFromThem) {
  StartEngine("expect protover 2\nsay feature setboard=0 done=1\nexpect e7e8q\nexpect go\nsay move a8b7\n"
              "expect go\nsay move b7a7\n");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->EditsPositions(); }));
  const std::size_t first = Received().size();
  QGuiApplication::clipboard()->setText("k7/4P3/8/8/8/8/8/4K3 w - - 0 1");
  Form->PastePositionItem->trigger();
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_EQ(Form->StatusText(), "Your move");
  NextFrame();
  Drag(Sq("e7"), Sq("e8"));
  EXPECT_TRUE(Form->Game.EngineThinking());
  WaitIdle();
  EXPECT_EQ(Received().substr(first), "new\nforce\nedit\n#\nPe7\nKe1\nc\nKa8\n.\ne7e8q\ngo\n");
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "4Q3/1k6/8/8/8/8/8/4K3");
  EXPECT_EQ(Form->StatusText(), "Your move");
  ExpectBoardIsThePosition();
  // From a file, with the engine's side to move.
  const std::size_t second = Received().size();
  WriteBytes(Folder / "dark.fen", "4Q3/1k6/8/8/8/8/8/4K3/ b - - 0 1\r\n");
  Recorded.Chosen = (Folder / "dark.fen").string();
  Form->LoadPositionItem->trigger();
  EXPECT_TRUE(Form->Game.EngineThinking());
  EXPECT_EQ(Form->StatusText(), "Thinking...");
  WaitIdle();
  EXPECT_EQ(Received().substr(second), "new\nforce\na2a3\nedit\n#\nQe8\nKe1\nc\nKb7\n.\ngo\n");
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "4Q3/k7/8/8/8/8/8/4K3");
  EXPECT_EQ(Form->Game.SideToMove(), TSide::Light);
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  ExpectBoardIsThePosition();
}

// Real engines take a pasted position, each as its features ask ("setboard" or edit
// mode), and answer from it with a legal move: after the user's move, or at once when
// the position has the engine to move.
TEST_F(BoardWindow, RealEnginesAnswerFromAPastedPosition) {
  struct TCase {
    const char* Engine;
    const char* Limit;  // sent after the position: "new" lifts a search limit
    bool EditMode;
  };
  const TCase cases[] = {{"fairymax", "sd 2", true}, {"gnuchess", "st 1", false}};
  int played = 0;
  for (const TCase& c : cases) {
    const fs::path launcher = fs::path(ENGINE_FOLDER) / c.Engine;
    if (!fs::exists(launcher)) continue;
    ++played;
    Board->LoadEngine(launcher.string(), std::string());
    ASSERT_TRUE(WaitFor([this] { return Board->EngineObj && Board->EngineObj->HasStarted(); }, 60000)) << c.Engine;
    if (c.EditMode) {
      ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->EditsPositions(); }, 60000)) << c.Engine;
    }
    for (const char* fen : {"k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "k7/8/8/8/8/8/4P3/4K3 b - - 0 1"}) {
      QGuiApplication::clipboard()->setText(QString::fromLatin1(fen));
      Form->PastePositionItem->trigger();
      Board->SendToEngine(c.Limit);
      // The engine moves from here, whichever move it chooses (it may answer the user's
      // move before the drag is over).
      TBitBoards before = Form->Game.Board();
      TGameRights rights = Form->Game.Rights();
      if (!Form->Game.EngineThinking()) {
        ASSERT_TRUE(PlayUserMove(before, rights, TBoardMove{{7, 4}, {8, 4}}, TSide::Light).Legal);
        NextFrame();
        Drag(Sq("e7"), Sq("e8"));
      }
      ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking() && Idle(); }, 60000))
          << c.Engine << " " << fen << "\nsent:\n" << Board->SentMemo->toPlainText().toStdString() << "\nreceived:\n"
          << Board->ReceivedMemo->toPlainText().toStdString();
      bool legal = false;
      for (const TBoardMove& move : LegalMoves(before, rights, TSide::Dark)) {
        TBitBoards board = before;
        TGameRights next = rights;
        legal = legal || (PlayUserMove(board, next, move, TSide::Dark).Legal && board == Form->Game.Board());
      }
      EXPECT_TRUE(legal) << c.Engine << " " << fen << ": " << FenPlacementText(Form->Game.Board());
      EXPECT_TRUE(Recorded.Messages.empty()) << c.Engine << ": " << Recorded.Messages.front();
      ExpectBoardIsThePosition();
    }
    EXPECT_EQ(Board->EngineObj->EditsPositions(), c.EditMode) << c.Engine;
    const std::string log = Board->ReceivedMemo->toPlainText().toStdString();
    EXPECT_EQ(log.find("Illegal"), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  }
  if (played == 0) GTEST_SKIP() << "no engine is installed";
}

// A real engine that takes positions in edit mode knows no en passant square there, and
// refuses the user's en passant capture; "go" followed it. The move is taken back, and
// afterwards the engine and the board agree: the engine answers the user's moves from
// the board's position with legal moves.
TEST_F(BoardWindow, RealEngineRefusingTheUsersMoveStaysInStepWithTheBoard) {
  const fs::path launcher = fs::path(ENGINE_FOLDER) / "fairymax";
  if (!fs::exists(launcher)) GTEST_SKIP() << "fairymax is not installed";
  Board->LoadEngine(launcher.string(), std::string());
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj && Board->EngineObj->HasStarted(); }, 60000));
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->EditsPositions(); }, 60000));
  const std::string fen = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
  QGuiApplication::clipboard()->setText(QString::fromStdString(fen));
  Form->PastePositionItem->trigger();
  Board->SendToEngine("sd 2");
  NextFrame();
  Drag(Sq("e5"), Sq("d6"));
  ASSERT_TRUE(WaitFor([this] { return !Recorded.Messages.empty(); }, 60000));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{"Illegal move from host engine: Illegal move:e5d6"});
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_EQ(FenClipboardText(Form->Game.Board(), Form->Game.Rights()), fen);
  ExpectBoardIsThePosition();
  // The position went to the engine anew, which lifted its depth limit.
  Board->SendToEngine("sd 2");
  // Two moves of the user's king, which are legal for the engine too.
  for (int turn = 0; turn < 2; ++turn) {
    std::vector<TBoardMove> kingMoves;
    for (const TBoardMove& move : LegalMoves(Form->Game.Board(), Form->Game.Rights(), TSide::Light))
      if (At(move.From).Letter == 'K') kingMoves.push_back(move);
    ASSERT_FALSE(kingMoves.empty()) << FenPlacementText(Form->Game.Board());
    const TBoardMove user = kingMoves.front();
    TBitBoards before = Form->Game.Board();
    TGameRights rights = Form->Game.Rights();
    ASSERT_TRUE(PlayUserMove(before, rights, user, TSide::Light).Legal);
    Drag(user.From, user.To);
    const std::string move = MoveToText(user);
    ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking() && Idle(); }, 60000)) << move;
    bool legal = false;
    for (const TBoardMove& answer : LegalMoves(before, rights, TSide::Dark)) {
      TBitBoards board = before;
      TGameRights next = rights;
      legal = legal || (PlayUserMove(board, next, answer, TSide::Dark).Legal && board == Form->Game.Board());
    }
    EXPECT_TRUE(legal) << "the answer to " << move << ": " << FenPlacementText(Form->Game.Board());
    ExpectBoardIsThePosition();
  }
  EXPECT_EQ(Recorded.Messages.size(), 1u) << Recorded.Messages.back();
  const QString log = Board->ReceivedMemo->toPlainText();
  EXPECT_EQ(log.count(QStringLiteral("Illegal")), 1) << log.toStdString();
}

// New Match pressed on the tool bar, or a position pasted, while the engine thinks on
// its answer: the engine finishes that search first, and its move belongs to the game
// left. It never lands: the board shows the new game, nobody is told anything, the
// engine page's log names the move dropped, and the engine's answer after its pong to
// the user's next move is played.
TEST_F(BoardWindow, AMoveOfTheGameLeftNeverLandsOnTheNewOne) {
  struct TCase {
    bool Pasted;
    const char* Fen;     // the new game
    const char* Answer;  // the engine's answer there to d2-d4
  };
  const TCase cases[] = {{false, START_POSITION_FEN, "g8f6"}, {true, "4k3/8/8/8/8/8/3P4/4K3 w - - 0 1", "e8d7"}};
  for (const TCase& c : cases) {
    const fs::path searched = EngineFolder() / "searched";
    fs::remove(searched);
    SetPosition(START_POSITION_FEN);
    StartEngine("expect protover 2\nsay feature ping=1 setboard=1 done=1\nexpect e2e4\nawait " + searched.string() +
                "\nsay move d7d5\nexpect ping 1\nsay pong 1\nexpect d2d4\nsay move " + c.Answer + "\n");
    ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->TakesPing(); }));
    Drag(Sq("e2"), Sq("e4"));
    ASSERT_TRUE(Form->Game.EngineThinking());
    if (c.Pasted) {
      QGuiApplication::clipboard()->setText(QString::fromLatin1(c.Fen));
      Form->PastePositionItem->trigger();
    } else {
      QTest::mouseClick(Board->ToolBar->widgetForAction(Board->NewMatchButton), Qt::LeftButton);
    }
    const TBitBoards newGame = Form->Game.Board();
    TBitBoards fenBoard;
    ASSERT_TRUE(ParseFenPlacement(c.Fen, fenBoard));
    EXPECT_EQ(newGame, fenBoard);
    EXPECT_FALSE(Form->Game.EngineThinking());
    EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
    WriteBytes(searched, "");
    ASSERT_TRUE(WaitFor([this] {
      return Board->ReceivedMemo->toPlainText().contains(QStringLiteral("[dropped, of the game left: move d7d5]"));
    }));
    EXPECT_EQ(Form->Game.Board(), newGame) << c.Fen;
    EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
    ExpectBoardIsThePosition();
    Drag(Sq("d2"), Sq("d4"));
    WaitIdle();
    TBitBoards expected = newGame;
    TGameRights rights = RightsOfFen(c.Fen, expected);
    ASSERT_TRUE(PlayUserMove(expected, rights, {Sq("d2"), Sq("d4")}, TSide::Light).Legal);
    TBoardMove answer;
    ASSERT_TRUE(ParseMoveText(c.Answer, answer));
    ASSERT_TRUE(PlayUserMove(expected, rights, answer, TSide::Dark).Legal);
    EXPECT_EQ(Form->Game.Board(), expected) << c.Fen;
    EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
    EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
    ExpectBoardIsThePosition();
    Board->UnloadEngine();
    ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  }
}

// After a position given as a whole the engine waits in force mode, and "go" follows
// the user's first move. An engine that refuses that move still goes, and plays the
// user's side in the same breath: the position goes to it anew, and that move, of the
// game it left, never lands.
TEST_F(BoardWindow, TheMoveAfterARefusalThatGoFollowedNeverLands) {
  StartEngine("expect protover 2\nsay feature ping=1 setboard=1 done=1\nexpect ping 1\nsay pong 1\nexpect go\n"
              "write Illegal move: e2e4\\nmove d2d4\\n\nexpect ping 2\nsay pong 2\nexpect go\nsay move e8d7\n");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->TakesPing(); }));
  const char* fen = "4k3/8/8/8/8/8/3PP3/4K3 w - - 0 1";
  QGuiApplication::clipboard()->setText(QString::fromLatin1(fen));
  Form->PastePositionItem->trigger();
  const TBitBoards pasted = Form->Game.Board();
  NextFrame();
  Drag(Sq("e2"), Sq("e4"));
  ASSERT_TRUE(WaitFor([this] {
    return Board->ReceivedMemo->toPlainText().contains(QStringLiteral("[dropped, of the game left: move d2d4]"));
  }));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{"Illegal move from host engine: Illegal move: e2e4"});
  EXPECT_EQ(Form->Game.Board(), pasted);
  EXPECT_FALSE(Form->Game.EngineThinking());
  ExpectBoardIsThePosition();
  Recorded.Messages.clear();
  Drag(Sq("e1"), Sq("f1"));
  WaitIdle();
  EXPECT_EQ(At(Sq("d7")).Letter, 'k');
  EXPECT_EQ(At(Sq("d2")).Letter, 'P');
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  ExpectBoardIsThePosition();
}

// The status line as the user sees it: a hint while one is shown, else the game's state.
std::string ShownStatus(TForm1& form) {
  const QString hint = form.statusBar()->currentMessage();
  if (!hint.isEmpty()) return hint.toStdString();
  return form.StatusLabel->isVisible() ? form.StatusLabel->text().toStdString() : std::string();
}

// A hint of the tool bar or of a menu covers the game's state only while the mouse is
// on its item: "Thinking..." and "Your move" are shown again once it has left.
TEST_F(BoardWindow, HintsCoverTheGameStateOnlyWhileShown) {
  StartEngine("expect e2e4\nawait " + (EngineFolder() / "answer").string() + "\nsay move e7e5\n");
  QWidget* button = Board->ToolBar->widgetForAction(Board->NewMatchButton);
  QWidget* away = Board->BoardView;
  auto hover = [&](const std::string& state) {
    ASSERT_EQ(ShownStatus(*Form), state);
    QTest::mouseMove(button, button->rect().center());
    ASSERT_TRUE(WaitFor([&] { return ShownStatus(*Form) == "New Match"; })) << state;
    QTest::mouseMove(away, away->rect().center());
    ASSERT_TRUE(WaitFor([&] { return ShownStatus(*Form) == state; })) << ShownStatus(*Form);
    // A menu's items.
    QMenu* menu = Form->FileMenu;
    menu->popup(Form->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
    for (QAction* item : {Form->CopyPositionItem, Form->PastePositionItem})
      QTest::mouseMove(menu, menu->actionGeometry(item).center());
    QTest::qWait(50);
    menu->hide();
    QTest::mouseMove(away, away->rect().center() + QPoint(5, 5));
    ASSERT_TRUE(WaitFor([&] { return ShownStatus(*Form) == state; })) << ShownStatus(*Form);
  };
  Drag(Sq("e2"), Sq("e4"));
  hover(THINKING_TEXT);
  WriteBytes(Folder / "answer", "");
  WaitIdle();
  hover(YOUR_MOVE_TEXT);
}

// The status line says whose move it is: after an engine playing light has made its
// first move, after New Match, and after its first move there.
TEST_F(BoardWindow, StatusLineSaysWhoseMoveItIs) {
  Form->PlayDark();
  const fs::path answer = EngineFolder() / "answer";
  LoadEngine("expect go\nsay move e2e4\nexpect go\nawait " + answer.string() + "\nsay move d2d4\n");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted() && !Form->Game.EngineThinking() && Idle(); }));
  EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
  Board->NewMatchButton->trigger();
  EXPECT_EQ(Form->StatusText(), THINKING_TEXT);
  WriteBytes(answer, "");
  WaitIdle();
  EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
  // With the user playing light, New Match gives them the board.
  Board->UnloadEngine();
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  Form->PlayLight();
  Board->NewMatchButton->trigger();
  StartEngine("expect e2e4\nsay move e7e5\n");
  EXPECT_EQ(Form->StatusText(), READY_TEXT);
  Drag(Sq("e2"), Sq("e4"));
  WaitIdle();
  EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
  Board->NewMatchButton->trigger();
  EXPECT_EQ(Form->StatusText(), YOUR_MOVE_TEXT);
  // A game that has ended says so.
  SetPosition("6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1");
  Drag(Sq("d1"), Sq("d8"));
  EXPECT_EQ(Form->StatusText(), "Checkmate: light wins");
}

// The wheel over the engine page is the page's: the hidden board keeps its distance.
TEST_F(BoardWindow, WheelOverTheEnginePageLeavesTheBoardAlone) {
  TGLCamera& camera = *Board->Camera;
  const float distance = camera.TargetDistance();
  auto wheel = [](QWidget* widget) {
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
  };
  Board->Pages->setCurrentWidget(Board->EnginesPage);
  Board->EnginePages->setCurrentWidget(Board->EngineExchangePage);
  wheel(Board->EnginePathLabel);
  Board->EnginePages->setCurrentWidget(Board->EngineChoicePage);
  wheel(Board->EngineChoicePage);
  EXPECT_EQ(camera.TargetDistance(), distance);
  Board->Pages->setCurrentWidget(Board->BoardPage);
  wheel(Board);
  EXPECT_NE(camera.TargetDistance(), distance);
}

// No engine can answer the user's move, none loaded or one that has ended by itself:
// the board stays the user's instead of waiting at "Thinking..." for good.
TEST_F(BoardWindow, UserMoveWithoutAnEngineLeavesTheBoardUnlocked) {
  Drag(Sq("e2"), Sq("e4"));
  EXPECT_EQ(At(Sq("e4")).Letter, 'P');
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_NE(Form->StatusText(), THINKING_TEXT);

  LoadEngine("expect hard\nexit 0\n");
  ASSERT_TRUE(WaitFor([this] { return !Board->IsEngineLoaded(); }, 60000));
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"The engine has ended: exit code 0"}));
  SetPosition(START_POSITION_FEN);
  Drag(Sq("d2"), Sq("d4"));
  EXPECT_EQ(At(Sq("d4")).Letter, 'P');
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_NE(Form->StatusText(), THINKING_TEXT);
  ExpectBoardIsThePosition();
}

// Drops that are no move: an illegal one says "no", one on the own square says
// nothing; both leave the piece where it was and the position as it was, and a click
// without a drag after them plays nothing.
TEST_F(BoardWindow, DropsThatAreNoMoveLeaveEverythingAsItWas) {
  struct TCase {
    const char* From;
    const char* To;
    std::vector<std::string> Messages;
  };
  const TCase cases[] = {{"e2", "e5", {"no"}}, {"g1", "g1", {}}, {"b1", "b3", {"no"}}};
  for (const TCase& c : cases) {
    Recorded.Messages.clear();
    const TGLCoordinates& piece = At(Sq(c.From)).Obj->Position();
    const TVector before = piece.AsVector();
    Drag(Sq(c.From), Sq(c.To));
    EXPECT_EQ(Recorded.Messages, c.Messages) << c.From << c.To;
    EXPECT_TRUE(Vec4Equal(piece.AsVector(), before)) << c.From << c.To;
    EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    EXPECT_FALSE(Form->Game.EngineThinking());
  }
  QTest::mouseClick(Board->BoardView, Qt::LeftButton, {}, SquarePixel(Sq("d2"), 12));
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  EXPECT_FALSE(Form->Game.EngineThinking());
  // A dark piece is not the user's: a message, and the drag turns the camera from the
  // press, not from where an earlier drag ended.
  Recorded.Messages.clear();
  const QPoint press = SquarePixel(Sq("d7"), 12);
  QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, press);
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"You are playing with other side."}));
  EXPECT_EQ(Board->Drag.HeldPiece, nullptr);
  EXPECT_EQ(QPoint(Board->Drag.LastMouseX, Board->Drag.LastMouseY), press);
  EXPECT_EQ(QPoint(Board->Drag.CurMouseX, Board->Drag.CurMouseY), press);
  EXPECT_TRUE(Board->OrbitCadencer->Enabled());
  QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, press);
  EXPECT_FALSE(Board->OrbitCadencer->Enabled());
}

// A side left without a legal move is checkmated when in check and stalemated when
// not: the user is told which, after the user's move and after the engine's.
TEST_F(BoardWindow, MateAndStalemateAreToldApartAfterEitherSidesMove) {
  struct TCase {
    const char* Fen;
    const char* UserMove;
    const char* EngineMove;  // nullptr: the user's move ends the game
    const char* Told;
  };
  const TCase cases[] = {
      {"k7/8/1K6/8/8/8/8/7Q w - - 0 1", "h1h8", nullptr, USER_MATES_TEXT},
      {"k7/8/8/8/8/8/8/1Q5K w - - 0 1", "b1b6", nullptr, STALEMATE_TEXT},
      {"1r5k/6pp/8/8/8/8/P5PP/7K w - - 0 1", "a2a3", "b8b1", USER_MATED_TEXT},
      {"7k/8/8/8/8/3q4/K7/8 w - - 0 1", "a2a1", "d3b3", STALEMATE_TEXT},
  };
  for (const TCase& c : cases) {
    const std::string user = c.UserMove;
    StartEngine("expect " + user + (c.EngineMove ? std::string("\nsay move ") + c.EngineMove : "") + "\n");
    SetPosition(c.Fen);
    Recorded.Messages.clear();
    Drag(Sq(user.substr(0, 2).c_str()), Sq(user.substr(2, 2).c_str()));
    if (c.EngineMove) WaitIdle();
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{c.Told}) << c.Fen;
    Board->UnloadEngine();
  }
}

// The user's and the engine's special moves, through the mouse and through the
// engine front end: captures parked beside the board in the order they were made,
// castling rooks, promotions and en passant.
TEST_F(BoardWindow, CapturesCastlingPromotionAndEnPassantOfBothSides) {
  struct TMove {
    bool User;
    const char* Text;
    char Lands;  // the letter on the target square afterwards
  };
  struct TGame {
    const char* Fen;
    std::vector<TMove> Moves;
    const char* Moved[2];  // a piece that went along: the castling rooks' squares
    int Parked[2];         // captured dark and light pieces, in places 0, 1, ...
  };
  const TGame games[] = {
      {"r3k3/3q2P1/4p3/3p4/4P3/2N5/p7/4K2R/ w Kq - 0 1",
       {{true, "e4d5", 'P'}, {false, "e6d5", 'p'}, {true, "c3d5", 'N'}, {false, "d7d5", 'q'},
        {true, "e1g1", 'K'}, {false, "e8c8", 'k'}, {true, "g7g8", 'Q'}, {false, "a2a1q", 'q'}},
       {"f1", "d8"},
       {2, 2}},
      {"4k3/3p4/8/4P3/5p2/8/6P1/4K3/ w - - 0 1",
       {{true, "g2g4", 'P'}, {false, "f4g3", 'p'}, {true, "e1d1", 'K'}, {false, "d7d5", 'p'}, {true, "e5d6", 'P'}},
       {"d1", "d6"},
       {1, 1}},
  };
  // An engine that takes the user's moves; its answers are played below.
  StartEngine("");
  for (const TGame& game : games) {
    SetPosition(game.Fen);
    for (const TMove& m : game.Moves) {
      const std::string text = m.Text;
      if (m.User)
        Drag(Sq(text.substr(0, 2).c_str()), Sq(text.substr(2, 2).c_str()));
      else
        EngineSays("move " + text);
      // Locked after the user's move until the engine's has slid home.
      EXPECT_TRUE(Form->Game.EngineThinking()) << text;
      ASSERT_TRUE(WaitFor([&] { return Idle() && Form->Game.EngineThinking() == m.User; })) << text;
      EXPECT_EQ(At(Sq(text.substr(2, 2).c_str())).Letter, m.Lands) << text;
      ExpectBoardIsThePosition();
    }
    EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
    for (const char* square : game.Moved) EXPECT_NE(Board->PieceAtSquare(Sq(square)), nullptr);
    // The places taken are the first ones of each colour's table, in order.
    int parked[2] = {0, 0};
    for (const auto& piece : Board->PieceSlots) {
      if (!piece || piece->Row != CAPTURED_ROW) continue;
      const int table = IsLightLetter(piece->Letter) ? 1 : 0;
      const TVector at = piece->Obj->Position().AsVector();
      const auto& places = Board->CapturedSlot[table];
      const auto place = std::find_if(places.begin(), places.end(), [&](const TCapturedSlot& p) {
        return p.Used && p.X == at.x && p.Z == at.z;
      });
      EXPECT_NE(place, places.end()) << piece->Letter;
      EXPECT_LT(place - places.begin(), game.Parked[table]);
      ++parked[table];
    }
    for (int table = 0; table < 2; ++table) {
      EXPECT_EQ(parked[table], game.Parked[table]);
      EXPECT_FALSE(Board->CapturedSlot[table][game.Parked[table]].Used);
    }
  }
}

// The engine's moves that the board must still show whatever happens around them.
TEST_F(BoardWindow, EngineMovesAlwaysEndOnTheBoardAsThePositionHasIt) {
  struct TCase {
    const char* What;
    const char* Shown;     // the position the board shows
    const char* Position;  // the position the engine moves in (null: the one shown)
    std::vector<std::string> Moves;
    bool RefreshAtOnce;
    std::vector<std::string> Messages;
  };
  const TCase cases[] = {
      // Rank 3 to rank 1: Z 30 to Z -30, the same distance from Z 0 on either side.
      {"no step", "4k3/8/8/8/8/7r/8/K7/", nullptr, {"h3h1"}, false, {}},
      {"two moves", START_POSITION_FEN, nullptr, {"e7e5", "d7d5"}, false, {}},
      {"refresh", START_POSITION_FEN, nullptr, {"e7e5"}, true, {}},
      {"no piece", START_POSITION_FEN, "4k3/8/8/8/8/7r/8/K7/", {"h3h1"}, false,
       {"The engine moved from h3, where the board shows no piece; the board is drawn again from the position."}},
  };
  for (const TCase& c : cases) {
    SetPosition(c.Shown);
    if (c.Position) {
      ASSERT_TRUE(Form->Game.LoadFen(c.Position));
    }
    Recorded.Messages.clear();
    Form->Game.SetEngineThinking(true);
    for (const std::string& move : c.Moves) EngineSays("move " + move);
    if (c.RefreshAtOnce) {
      EXPECT_TRUE(Board->EngineSlideTimer->isActive());
      Form->RefreshBoard();
    }
    ASSERT_TRUE(WaitFor([this] { return Idle() && !Form->Game.EngineThinking(); }, 60000)) << c.What;
    EXPECT_EQ(Board->Slides.MovingPiece(), nullptr) << c.What;
    EXPECT_EQ(Recorded.Messages, c.Messages) << c.What;
    ExpectBoardIsThePosition();
  }
}

// The slides run on a clock the test sets, and each tick is a call: where every piece
// stands after each tick is the clock's doing alone, however many ticks come.
TEST_F(BoardWindow, SlidesFollowTheClockStraightToTheirSquares) {
  double now = 1000;
  Board->Slides.SetClock([&now] { return now; });
  const double half = TBoardSlides::ENGINE_SLIDE_SECONDS / 2, quarter = half / 2;
  struct TPoint {
    float X, Z;
  };
  // Within a thousandth: the clock's sums round.
  auto expectAt = [](const TBoardPiece& piece, TPoint p, const char* what) {
    EXPECT_NEAR(piece.Obj->Position().X(), p.X, 1e-3) << what;
    EXPECT_NEAR(piece.Obj->Position().Z(), p.Z, 1e-3) << what;
  };

  // A knight of the engine that plays light, from rank 1 across Z 0 to rank 3: the
  // same distance from Z 0 on either side, and still a straight way at a steady speed.
  SetPosition(START_POSITION_FEN);
  Form->Game.SetEngineThinking(true);
  EngineSays("move g1f3", TSide::Light);
  TBoardPiece& knight = *Board->Slides.MovingPiece();
  for (int tick = 0; tick < 5; ++tick) Board->Slides.StepEngineSlide();
  expectAt(knight, {350, -30}, "frozen clock");
  EXPECT_TRUE(Form->Game.EngineThinking());
  now += half;
  Board->Slides.StepEngineSlide();
  expectAt(knight, {365, 0}, "half way");
  now += half;
  Board->Slides.StepEngineSlide();
  expectAt(knight, {380, 30}, "arrived");
  EXPECT_EQ(Board->Slides.MovingPiece(), nullptr);
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_TRUE(Idle());

  // The engine's capture: its victim slides off in -X beside the mover and is parked
  // when the mover arrives, not before.
  SetPosition("4k3/8/8/3p4/4P3/8/8/4K3/");
  Form->Game.SetEngineThinking(true);
  EngineSays("move d5e4");
  TBoardPiece& taker = *Board->Slides.MovingPiece();
  TBoardPiece& taken = *Board->Slides.EngineVictim();
  now += half;
  Board->Slides.StepEngineSlide();
  expectAt(taker, {425, 75}, "taker half way");
  expectAt(taken, {410 - TBoardSlides::ENGINE_VICTIM_DISTANCE / 2, 60}, "victim half way");
  EXPECT_FALSE(Board->CapturedSlot[1][0].Used);
  now += half;
  Board->Slides.StepEngineSlide();
  expectAt(taker, {410, 60}, "taker arrived");
  expectAt(taken, {230, 200}, "victim parked");
  EXPECT_TRUE(Board->CapturedSlot[1][0].Used);
  EXPECT_FALSE(Form->Game.EngineThinking());

  // Castling: the king slides, then the rook; the rook's slide starts when the king's
  // was due to end, so a late tick of the king's costs the move no time.
  SetPosition("4k2r/8/8/8/8/8/8/4K3/");
  Form->Game.SetEngineThinking(true);
  EngineSays("move e8g8");
  TBoardPiece& king = *Board->Slides.MovingPiece();
  TBoardPiece& rook = At(Sq("h8"));
  now += quarter;
  Board->Slides.StepEngineSlide();
  expectAt(king, {380, 180}, "king half way");
  expectAt(rook, {320, 180}, "rook waits");
  now += half;
  Board->Slides.StepEngineSlide();
  expectAt(king, {350, 180}, "king arrived");
  EXPECT_EQ(Board->Slides.MovingPiece(), &rook);
  EXPECT_TRUE(Board->CastleRookSlideTimer->isActive());
  EXPECT_TRUE(Form->Game.EngineThinking());
  Board->Slides.StepCastleRookSlide();
  expectAt(rook, {350, 180}, "rook half way");
  now += quarter;
  Board->Slides.StepCastleRookSlide();
  expectAt(rook, {380, 180}, "rook arrived");
  EXPECT_EQ(Board->Slides.MovingPiece(), nullptr);
  EXPECT_FALSE(Form->Game.EngineThinking());
  EXPECT_TRUE(Idle());
  ExpectBoardIsThePosition();

  // The piece the user takes slides to X 210 at a steady speed, then is parked.
  SetPosition("4k3/8/8/3p4/4P3/8/8/4K3/");
  TBoardPiece& pawn = At(Sq("d5"));
  Drag(Sq("e4"), Sq("d5"));
  ASSERT_EQ(Board->Slides.UserVictim(), &pawn);
  Board->Slides.StepUserVictimSlide();
  expectAt(pawn, {440, 90}, "frozen clock");
  const double slide = (440 - 210) / TBoardSlides::USER_VICTIM_SPEED;
  now += slide / 2;
  Board->Slides.StepUserVictimSlide();
  expectAt(pawn, {325, 90}, "user's victim half way");
  now += slide / 2;
  Board->Slides.StepUserVictimSlide();
  expectAt(pawn, {210, 200}, "user's victim parked");
  EXPECT_EQ(Board->Slides.UserVictim(), nullptr);
  EXPECT_FALSE(Board->UserVictimSlideTimer->isActive());
}

// Each model file is read once a load: a piece made later, for a position with more
// pieces of its kind, still gets its model when the file has gone since; the next load
// reads the files anew.
TEST_F(BoardWindow, ModelFilesAreReadOnceALoadAndAnewAtTheNext) {
  Folder = fs::temp_directory_path() / ("brvmodels." + std::to_string(::getpid()));
  const fs::path models = Folder / "models";
  fs::create_directories(models);
  for (const auto& entry : fs::directory_iterator(Form->Folders.Models))
    fs::copy_file(entry.path(), models / entry.path().filename());
  Form->Folders.Models = models.string() + "/";
  ASSERT_TRUE(Board->LoadClassicPieces());
  auto triangles = [this](char letter) {
    for (const auto& piece : Board->PieceSlots)
      if (piece && piece->Letter == letter) return piece->Obj->MeshObjects().TriangleCount();
    return -1;
  };
  const int pawn = triangles('P'), queen = triangles('Q');
  ASSERT_NE(pawn, queen);

  fs::remove(models / "pedone.3ds");
  Recorded.Messages.clear();
  SetPosition("4k3/8/8/8/1P6/8/PPPPPPPP/4K3/");
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  int pawns = 0;
  for (const auto& piece : Board->PieceSlots)
    if (piece && piece->Letter == 'P' && piece->Row >= 1) {
      ++pawns;
      EXPECT_EQ(piece->Obj->MeshObjects().TriangleCount(), pawn);
    }
  EXPECT_EQ(pawns, 9);
  ExpectBoardIsThePosition();

  fs::copy_file(models / "regina.3ds", models / "pedone.3ds");
  ASSERT_TRUE(Board->LoadClassicPieces());
  EXPECT_EQ(triangles('P'), queen);
}

// Positions with more pieces of a kind than the start has get models of their own
// while there is room; beyond it the pieces left out are named.
TEST_F(BoardWindow, ExtraPiecesGetModelsInTheSpareSlots) {
  struct TCase {
    const char* Fen;
    int Queens;  // light queens shown
    std::vector<std::string> Messages;
  };
  const TCase cases[] = {
      {"QQQk4/8/8/8/8/8/8/K7/", 3, {}},
      // The start's one queen and the nine spare slots.
      {"QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/K6k/", 10,
       {"The position has more pieces than the board has room for (41); not shown: QQQQQQ"}},
      {START_POSITION_FEN, 1, {}},
  };
  for (const TCase& c : cases) {
    Recorded.Messages.clear();
    SetPosition(c.Fen);
    EXPECT_EQ(Recorded.Messages, c.Messages);
    int queens = 0;
    for (const auto& piece : Board->PieceSlots) {
      if (!piece || piece->Row < 1) continue;
      queens += piece->Letter == 'Q';
      if (piece->Letter == 'Q') {
        EXPECT_EQ(piece->ModelFile, Board->QueenModel);
      }
    }
    EXPECT_EQ(queens, c.Queens) << c.Fen;
    if (c.Messages.empty()) ExpectBoardIsThePosition();
  }
}

// The wheel's steps: one percent nearer beyond 1800, one percent farther within 20,
// 1.1 to the power of a notch's 120 / 1000 in between.
TEST_F(BoardWindow, WheelStepsAndOrbitStopsAtTheLowestHeight) {
  TGLCamera& camera = *Board->Camera;
  struct TCase {
    float Distance;
    int Delta;
    double Factor;
  };
  const TCase cases[] = {{10, 120, 1.01},          {10, -120, 1.01},        {100, 120, std::pow(1.1, 0.12)},
                         {100, -120, std::pow(1.1, -0.12)}, {1900, 120, 1 / 1.01}, {1900, -120, 1 / 1.01}};
  for (const TCase& c : cases) {
    camera.ScaleDistanceToTarget(c.Distance / camera.TargetDistance());
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, c.Delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Board, &wheel);
    EXPECT_NEAR(camera.TargetDistance(), c.Distance * c.Factor, c.Distance * 1e-4) << c.Distance << " " << c.Delta;
  }
  // A drag where no piece is: the camera turns round the board, never below Y 15.
  camera.Position().SetPoint(200, 15, 0);
  struct TDrag {
    QPoint By;
    bool Lower;  // the step would take the camera under Y 15
  };
  const QPoint press(5, 5);
  for (const TDrag& d : {TDrag{{40, 0}, false}, TDrag{{0, -3}, true}, TDrag{{0, 3}, false}}) {
    const float y = camera.Position().Y();
    QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, press);
    QTest::mouseMove(Board->BoardView, press + d.By);
    ASSERT_TRUE(WaitFor([&] {
      return Board->Drag.LastMouseX == Board->Drag.CurMouseX && Board->Drag.LastMouseY == Board->Drag.CurMouseY;
    }));
    QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, press + d.By);
    EXPECT_FALSE(Board->OrbitCadencer->Enabled());
    if (d.Lower) {
      EXPECT_EQ(camera.Position().Y(), y);
    } else {
      EXPECT_GE(camera.Position().Y(), 15);
    }
  }
  EXPECT_GT(camera.Position().Y(), 15);
}

// ---------------------------------------------------------------------------
// The highlight of the engine's moved piece and of the piece the user holds

using TMeanColour = std::array<double, 3>;

// The pixels where two frames of the same view differ.
std::vector<QPoint> PixelsThatDiffer(const QImage& a, const QImage& b) {
  std::vector<QPoint> pixels;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) pixels.emplace_back(x, y);
  return pixels;
}

TMeanColour MeanColour(const QImage& frame, const std::vector<QPoint>& pixels) {
  TMeanColour sum{};
  for (const QPoint& p : pixels) {
    const QColor c = frame.pixelColor(p);
    sum[0] += c.red();
    sum[1] += c.green();
    sum[2] += c.blue();
  }
  for (double& channel : sum) channel /= double(std::max<std::size_t>(pixels.size(), 1));
  return sum;
}

double Distance(const TMeanColour& a, const TMeanColour& b) {
  return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

double Brightness(const TMeanColour& c) { return c[0] + c[1] + c[2]; }

// A highlighted piece still reads as its side's: the dark king that the engine moved
// and the light king that the user holds are each nearer, in their mean colour over
// the pixels they cover, to themselves unhighlighted than to themselves in the other
// side's look, and clearly brighter than unhighlighted; on both boards, coloured and
// with pictures, the darkest and the lightest among them.
TEST_F(BoardWindow, HighlightedPiecesStillReadAsTheirSide) {
  const std::string textures = Board->StartFolder + "/res/textures/";
  struct TCase {
    const char* Look;
    std::string LightPicture, DarkPicture;  // none: the look's colours
  };
  const TCase cases[] = {{"artistic1", "", ""},
                         {"artistic1", textures + "boxwood.jpg", textures + "rosewood.jpg"},
                         {"classic4", "", ""},
                         {"classic4", textures + "white-marble.jpg", textures + "ebony.jpg"}};
  for (const TCase& c : cases) {
    const bool pictures = !c.LightPicture.empty();
    SCOPED_TRACE(std::string(c.Look) + (pictures ? " with pictures" : " in colours"));
    Board->LoadStartLook(Board->StartFolder + "/conf/" + c.Look + ".bvl");
    if (pictures) {
      Board->ApplyPieceTexture(TSide::Light, c.LightPicture);
      Board->ApplyPieceTexture(TSide::Dark, c.DarkPicture);
    }
    EngineMovesItsKing();
    TBoardPiece& dark = At(Sq("d7"));
    TBoardPiece& light = At(Sq("e1"));
    const QPoint held = PiecePixel(Sq("e1"));
    QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, held);
    ASSERT_EQ(Board->Drag.HeldPiece, &light);
    const QImage highlighted = Frame();
    QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, held);
    // As the engine's next move leaves it.
    TBoardScene::SetEmission(dark, Board->SavedEmission);
    const QImage plain = Frame();
    // Each side in the other's look.
    if (pictures) {
      Board->ApplyPieceTexture(TSide::Light, c.DarkPicture);
      Board->ApplyPieceTexture(TSide::Dark, c.LightPicture);
    } else {
      Board->ApplyPieceColours(Board->Look.LightPieceColour, Board->Look.DarkPieceColour);
    }
    const QImage swapped = Frame();
    dark.Obj->SetVisible(false);
    const QImage withoutDark = Frame();
    light.Obj->SetVisible(false);
    const QImage withoutKings = Frame();
    const std::pair<const char*, std::vector<QPoint>> kings[] = {{"dark", PixelsThatDiffer(swapped, withoutDark)},
                                                                {"light", PixelsThatDiffer(withoutDark, withoutKings)}};
    for (const auto& [side, pixels] : kings) {
      SCOPED_TRACE(side);
      ASSERT_GT(pixels.size(), 1000u);
      const TMeanColour lit = MeanColour(highlighted, pixels), own = MeanColour(plain, pixels),
                        other = MeanColour(swapped, pixels);
      EXPECT_LT(Distance(lit, own), Distance(lit, other));
      // The screen's gamma makes equal ratios equal steps to the eye: a dark piece's
      // lift is as plain as a light one's in fewer levels.
      EXPECT_GT(Brightness(lit), 1.25 * Brightness(own));
    }
  }
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
}

// A look chosen while pieces are highlighted shows on them as if it had been chosen
// first, and a piece put down has the emission it had when it was picked: the light
// king held while the light pieces get a colour and the dark ones, with the engine's
// king, a picture; and the engine's king picked by the user, now playing dark, while
// the dark pieces get a colour, highlighted again when put down.
TEST_F(BoardWindow, HighlightsFollowALookChosenMeanwhile) {
  const std::string ebony = Board->StartFolder + "/res/textures/ebony.jpg";
  struct TCase {
    const char* What;
    TSide User;
    const char* Held;
    std::function<void()> Choose;
    bool HighlightedWhenPutDown;
  };
  const TCase cases[] = {
      {"the user's king", TSide::Light, "e1",
       [&] {
         Recorded.Colours = {0xC05030};
         Board->LightPieceColourButton->trigger();
         Recorded.Chosen = ebony;
         Board->DarkPieceTextureButton->trigger();
       },
       false},
      {"the engine's king", TSide::Dark, "d7",
       [&] {
         Recorded.Colours = {0x2020A0};
         Board->DarkPieceColourButton->trigger();
       },
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    // The frames with the piece held and put down again, the look chosen before the
    // engine's move or while the piece is held.
    auto play = [&](bool chooseFirst) {
      Board->LoadStartLook(Board->StartFolder + "/conf/classic1.bvl");
      Form->PlayLight();
      if (chooseFirst) c.Choose();
      EngineMovesItsKing();
      if (c.User == TSide::Dark) Form->PlayDark();
      TBoardPiece& piece = At(Sq(c.Held));
      const TColorValue before = TBoardScene::Emission(piece);
      const QPoint at = PiecePixel(Sq(c.Held));
      QTest::mousePress(Board->BoardView, Qt::LeftButton, {}, at);
      EXPECT_EQ(Board->Drag.HeldPiece, &piece);
      if (!chooseFirst) c.Choose();
      const QImage held = Frame();
      QTest::mouseRelease(Board->BoardView, Qt::LeftButton, {}, at);
      EXPECT_EQ(TBoardScene::Emission(piece), before);
      return std::make_pair(held, Frame());
    };
    const auto meanwhile = play(false), first = play(true);
    EXPECT_TRUE(meanwhile.first == first.first);
    EXPECT_TRUE(meanwhile.second == first.second);
    EXPECT_EQ(meanwhile.first == meanwhile.second, c.HighlightedWhenPutDown);
  }
  // The engine's king, picked while highlighted, leaves no highlight to the others:
  // shown anew, no piece glows.
  Board->RefreshPieces();
  for (const std::unique_ptr<TBoardPiece>& piece : Board->PieceSlots)
    if (piece) {
      EXPECT_NE(TBoardScene::Emission(*piece), TBoardScene::HIGHLIGHT_EMISSION) << piece->Letter;
    }
  Form->PlayLight();
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
}

// A game against a real engine through the windows: the test plays legal moves with
// the mouse, the engine answers, and afterwards the board, the bitboards and the
// engine agree.
TEST_F(BoardWindow, RealGameAgainstFairymax) {
  const fs::path launcher = fs::path(ENGINE_FOLDER) / "fairymax";
  if (!fs::exists(launcher)) GTEST_SKIP() << "fairymax is not installed";
  Board->LoadEngine(launcher.string(), std::string());
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj && Board->EngineObj->HasStarted(); }));
  Board->SendToEngine("sd 2");
  // On the board the program starts with, in a smaller window seen from twice as far:
  // the same board in a quarter of the pixels, so each slide's frames come sooner.
  ASSERT_TRUE(Board->LoadArtisticBoard());
  Form->resize(600, 500);
  Board->Camera->ScaleDistanceToTarget(2);
  NextFrame();
  std::mt19937 random(7);
  int played = 0;
  bool over = false;
  for (; played < 20 && !over; ++played) {
    // The move whose worst answer leaves the most material, any of them drawn with a
    // fixed seed: a player that sees one move ahead keeps the game going.
    std::vector<TBoardMove> choice;
    int best = -100000;
    for (const TBoardMove& move : LegalMoves(Form->Game.Board(), Form->Game.Rights(), TSide::Light)) {
      TBitBoards board = Form->Game.Board();
      TGameRights rights = Form->Game.Rights();
      ASSERT_TRUE(PlayUserMove(board, rights, move, TSide::Light).Legal);
      int worst = Material(board);
      for (const TBoardMove& reply : LegalMoves(board, rights, TSide::Dark)) {
        TBitBoards next = board;
        TGameRights nextRights = rights;
        ASSERT_TRUE(PlayUserMove(next, nextRights, reply, TSide::Dark).Legal);
        worst = std::min(worst, IsMate(next, nextRights, TSide::Light) ? -10000 : Material(next));
      }
      if (worst > best) choice.clear();
      if (worst >= best) {
        best = worst;
        choice.push_back(move);
      }
    }
    ASSERT_FALSE(choice.empty()) << "no move left after " << played << ": " << FenPlacementText(Form->Game.Board());
    // A user picks a piece they see: one that nearer pieces hide is left where it is,
    // and when no best move's piece is in sight, any legal move's that is will do.
    std::vector<TBoardMove> seen;
    for (const TBoardMove& move : choice)
      if (ShownPiecePixel(move.From)) seen.push_back(move);
    if (seen.empty())
      for (const TBoardMove& move : LegalMoves(Form->Game.Board(), Form->Game.Rights(), TSide::Light))
        if (ShownPiecePixel(move.From)) seen.push_back(move);
    ASSERT_FALSE(seen.empty()) << "no piece to move in sight after " << played;
    const TBoardMove chosen = seen[random() % seen.size()];
    // The position the engine gets (it may answer before the drag is over).
    TBitBoards afterUser = Form->Game.Board();
    TGameRights rightsAfterUser = Form->Game.Rights();
    ASSERT_TRUE(PlayUserMove(afterUser, rightsAfterUser, chosen, TSide::Light).Legal);
    const TBitBoards before = Form->Game.Board();
    Drag(chosen.From, chosen.To);
    ASSERT_NE(Form->Game.Board(), before) << "move " << played;
    // Once, New Match while the engine thinks on its answer, which must never land.
    if (played == 3) {
      QTest::mouseClick(Board->ToolBar->widgetForAction(Board->NewMatchButton), Qt::LeftButton);
      EXPECT_EQ(Form->Game.ClipboardFen(), START_POSITION_FEN);
      continue;
    }
    // The engine was told "random", so the games differ, and now and then one side
    // mates: the player sees one move ahead only. The game ends there.
    if (IsMate(Form->Game.Board(), Form->Game.Rights(), TSide::Dark)) {
      const bool check = InCheck(Form->Game.Board(), TSide::Dark);
      EXPECT_EQ(Recorded.Messages, std::vector<std::string>{check ? USER_MATES_TEXT : STALEMATE_TEXT});
      over = true;
      break;
    }
    // The engine answers, or ends the game in its own words (a draw by repetition, say).
    auto result = [this] {
      const std::string status = Form->StatusText();
      return status.starts_with("1-0") || status.starts_with("0-1") || status.starts_with("1/2-1/2");
    };
    ASSERT_TRUE(WaitFor([&] { return (!Form->Game.EngineThinking() && Idle()) || result(); }))
        << Form->StatusText() << "\nsent:\n" << Board->SentMemo->toPlainText().toStdString() << "\nreceived:\n"
        << Board->ReceivedMemo->toPlainText().toStdString();
    if (Form->Game.EngineThinking()) {
      over = true;
      break;
    }
    over = IsMate(Form->Game.Board(), Form->Game.Rights(), TSide::Light);
    for (const std::string& message : Recorded.Messages)
      ASSERT_TRUE(over && (message == USER_MATED_TEXT || message == ENGINE_MATES_TEXT || message == STALEMATE_TEXT))
          << message;
    // The engine's answer is one of the legal moves in the position we gave it.
    bool legal = false;
    for (const TBoardMove& move : LegalMoves(afterUser, rightsAfterUser, TSide::Dark)) {
      TBitBoards board = afterUser;
      TGameRights rights = rightsAfterUser;
      legal = PlayUserMove(board, rights, move, TSide::Dark).Legal && board == Form->Game.Board();
      if (legal) break;
    }
    EXPECT_TRUE(legal) << "the engine's answer to move " << played << ": " << FenPlacementText(Form->Game.Board());
    ExpectBoardIsThePosition();
  }
  EXPECT_TRUE(played >= 20 || over) << played;
  // The engine took every move without a word of protest.
  const std::string log = Board->ReceivedMemo->toPlainText().toStdString();
  EXPECT_EQ(log.find("Illegal"), std::string::npos) << log;
  EXPECT_EQ(log.find("Error"), std::string::npos) << log;
}

}  // namespace

// The engine page driven as a user drives it: the folder scan, loading a program from
// the list, the opening commands, lines typed and sent, the history, unloading, an
// engine that ends by itself and one that floods. The stand-in engine runs behind
// small launchers in a folder of the test's own; a real engine comes from the
// launchers the build made.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <iostream>

#include "EngineTestSupport.h"
#include "FormTestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char HANDSHAKE[] = "xboard\nnew\nrandom\npost\nhard\n";
// What the page asks after the opening commands: the engine's features.
const char FEATURES[] = "protover 2\n";

class EnginePage : public MainWindow {
protected:
  void SetUp() override {
    MainWindow::SetUp();
    Folder = TestFolder("engines");
    fs::create_directories(Folder / "sub" / "deeper");
    Launcher(Folder / "prog");
    Launcher(Folder / "sub" / "prog2");
    Launcher(Folder / "sub" / "deeper" / "prog3");
    WriteBytes(Folder / "readme.txt", "not a program\n");
    // No waits before the opening commands; the waits for the engine's end are ended
    // by the end, so they can be far beyond what a busy machine needs.
    TEngineDelays fast;
    fast.StartWait = 0ms;
    fast.HandshakeWait = 0ms;
    fast.LineGap = 0ms;
    fast.SilenceNudge = 0ms;
    fast.QuitWait = 60s;
    fast.TerminateWait = 60s;
    Board->EngineDelays = fast;
    Form->Folders.Engines = Folder.string();
  }
  void TearDown() override {
    MainWindow::TearDown();
    fs::remove_all(Folder);
  }

  // For an engine that never ends on "quit": the program's own waits run out, as they
  // do for such an engine in a game.
  void UseTheProgramsEndWaits() {
    const TEngineDelays program;
    Board->EngineDelays.QuitWait = program.QuitWait;
    Board->EngineDelays.TerminateWait = program.TerminateWait;
  }

  // A program that runs the stand-in engine on a script of the folder and the log.
  void Launcher(const fs::path& path, const std::string& script = "script") {
    WriteBytes(path, "#!/bin/sh\nexec \"" FAKE_ENGINE_PATH "\" \"" + (Folder / script).string() + "\" \"" +
                         Log().string() + "\"\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }
  fs::path Log() const { return Folder / "received"; }

  // The engine list as the page shows it.
  std::vector<std::string> Listed() const {
    std::vector<std::string> lines;
    for (int i = 0; i < Board->enginelist->count(); ++i) lines.push_back(Board->enginelist->item(i)->text().toStdString());
    return lines;
  }
  void ShowEnginesPage() {
    Board->PageControl1->setCurrentWidget(Board->TabSheet2);
    Board->PageControl2->setCurrentWidget(Board->TabSheet3);
    Board->PageControl2->setCurrentWidget(Board->TabSheet4);
  }
  // Shows the page, which lists the engines anew, then loads one.
  void LoadListed(const std::string& name) {
    ShowEnginesPage();
    SelectAndLoad(name);
  }
  // Clicks the list's line ending in `name`, then "Load Engine".
  void SelectAndLoad(const std::string& name) {
    QListWidget* list = Board->enginelist;
    for (int i = 0; i < list->count(); ++i) {
      if (!list->item(i)->text().endsWith(QString::fromStdString("/" + name))) continue;
      list->scrollToItem(list->item(i));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
    }
    QTest::mouseClick(Board->BitBtn2, Qt::LeftButton);
  }
  void Type(const std::string& line) {
    Board->edit1->lineEdit()->clear();
    QTest::keyClicks(Board->edit1->lineEdit(), QString::fromStdString(line));
    QTest::mouseClick(Board->send, Qt::LeftButton);
  }
  std::string Received() const { return ReadBytes(Log()); }
  std::string Memo(QPlainTextEdit* memo) const { return memo->toPlainText().toStdString(); }

  fs::path Folder;
};

TEST_F(EnginePage, ListsProgramsOfTheFolderAndOfItsSubFoldersOnly) {
  ShowEnginesPage();
  std::string top = Folder.string();
  EXPECT_EQ(Listed(), (std::vector<std::string>{top + "/prog", top + "/sub/prog2"}));
  ASSERT_EQ(Board->parengine->count(), 2);
  EXPECT_EQ(Board->parengine->item(1)->text(), "");
  EXPECT_TRUE(Board->BitBtn2->isEnabled());
  // Choosing the sub-folder in the folder list scans from there.
  QListWidgetItem* sub = Board->DirectoryListBox1->findItems("sub", Qt::MatchExactly).value(0);
  ASSERT_NE(sub, nullptr);
  emit Board->DirectoryListBox1->itemActivated(sub);
  EXPECT_EQ(Form->Folders.Engines, top + "/sub");
  EXPECT_EQ(Listed(), (std::vector<std::string>{top + "/sub/prog2", top + "/sub/deeper/prog3"}));
  // Nothing selected: nothing starts.
  QTest::mouseClick(Board->BitBtn2, Qt::LeftButton);
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"Please select an engine"}));
  EXPECT_FALSE(Board->IsEngineLoaded());
  // A program added by hand, with its parameters.
  Board->engineedit->setText("  /usr/games/none  ");
  Board->parameter->setText("-x 1");
  QTest::mouseClick(Board->BitBtn3, Qt::LeftButton);
  EXPECT_EQ(Listed().back(), "/usr/games/none");
  EXPECT_EQ(Board->parengine->item(2)->text(), "-x 1");
  EXPECT_EQ(Board->engineedit->text(), "");
  // A line whose file is gone, and one that is no program: nothing runs, and the page
  // shows no engine.
  Recorded.Messages.clear();
  SelectAndLoad("none");
  Board->engineedit->setText(QString::fromStdString((Folder / "readme.txt").string()));
  QTest::mouseClick(Board->BitBtn3, Qt::LeftButton);
  SelectAndLoad("readme.txt");
  ASSERT_EQ(Recorded.Messages.size(), 2u);
  EXPECT_EQ(Recorded.Messages[0], "File not found: /usr/games/none");
  EXPECT_EQ(Recorded.Messages[1].rfind("Cannot start the engine " + (Folder / "readme.txt").string() + ": ", 0), 0u)
      << Recorded.Messages[1];
  EXPECT_FALSE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->unload->isVisible());
  EXPECT_FALSE(Board->send->isEnabled());
  EXPECT_FALSE(Form->Game.EngineThinking());
}

TEST_F(EnginePage, LoadSendHistoryAndUnload) {
  WriteBytes(Folder / "script", "expect e2e4\nsay move e7e5\n");
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/"));
  LoadListed("prog");
  ASSERT_TRUE(Board->IsEngineLoaded());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: prog");
  EXPECT_EQ(Board->unload->text(), "Unload prog ");
  EXPECT_EQ(Board->unload->width(), 60);
  EXPECT_FALSE(Form->bianco_checked->isEnabled());
  EXPECT_EQ(Board->PageControl2->currentWidget(), Board->TabSheet3);
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  EXPECT_FALSE(Form->Game.EngineThinking());
  // Loading starts from the start position, and says so when the board showed another.
  EXPECT_EQ(Form->StatusText(), std::string("Ready. ") + ENGINE_NEW_GAME_TEXT);
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/");
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/"));
  for (const char* line : {"  hint ", "hint", "e2e4"}) Type(line);
  ASSERT_TRUE(WaitFor([this] { return Memo(Board->Memoinput1).find("move e7e5") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + FEATURES + "hint\nhint\ne2e4\n");
  EXPECT_EQ(Memo(Board->Memoout), "xboard\nnew\nrandom\npost\nhard\nprotover 2\nhint\nhint\ne2e4");
  ASSERT_EQ(Board->edit1->count(), 2);
  EXPECT_EQ(Board->edit1->itemText(0), "hint");
  EXPECT_EQ(Board->edit1->itemText(1), "e2e4");
  // The engine's move is in the game.
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR/");
  Recorded.Messages.clear();
  Type("   ");
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"     What ?     "}));

  pid_t pid = Board->EngineObj->ProcessId();
  QTest::mouseClick(Board->unload, Qt::LeftButton);
  EXPECT_FALSE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->unload->isVisible());
  EXPECT_FALSE(Board->send->isEnabled());
  EXPECT_TRUE(Form->nero_checked->isEnabled());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: Brovanel 0.1");
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + FEATURES + "hint\nhint\ne2e4\nquit\n");
  EXPECT_NE(::kill(pid, 0), 0);
  EXPECT_TRUE(Recorded.Messages.size() == 1);
}

// The start-up waits and the quit run on timers: the window keeps answering meanwhile,
// the engine gets the same lines in the same order after the same waits, and the board
// stays locked until the last opening command is sent. Timers can only fire late, so
// the waits are checked from below; that the loop ran is seen in a ticker that a
// blocked loop would have fired once at most.
TEST_F(EnginePage, StartAndQuitLeaveTheEventLoopRunning) {
  WriteBytes(Folder / "script", "ignoreterm\nexpect level 0 5 0\nhang\n");
  Board->EngineDelays = TEngineDelays();
  Board->EngineDelays.SilenceNudge = 0ms;  // the script is silent on purpose
  Form->nero_checked->trigger();
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(20);
  QElapsedTimer clock;
  clock.start();
  const auto loaded = std::chrono::steady_clock::now();
  ShowEnginesPage();
  Board->enginelist->item(0)->setSelected(true);
  Board->BitBtn2Click();
  ASSERT_TRUE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->EngineObj->IsReady());
  EXPECT_TRUE(Form->Game.EngineThinking());
  // Held back until the opening commands are out.
  Type("level 0 5 0");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  qint64 ready = clock.elapsed();
  EXPECT_GE(ready, 200 + 3000 + 6 * 100);
  EXPECT_GT(ticks, 2);
  // The engine plays light: locked until its first move.
  EXPECT_TRUE(Form->Game.EngineThinking());
  const std::vector<std::string> lines = {"xboard", "new",        "random", "post",       "hard",
                                          "white",  "go",         "protover 2", "level 0 5 0"};
  ASSERT_TRUE(WaitFor([this] { return Received().find("level") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "white\ngo\nprotover 2\nlevel 0 5 0\n");
  // Each line read no sooner than the waits before its write allow.
  const std::vector<TReadLine> read = ReadLinesWithTimes(Log().string() + ".times");
  ASSERT_EQ(read.size(), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(read[i].Text, lines[i]);
    EXPECT_GE(read[i].At - loaded, 200ms + 3000ms + int(i) * 100ms) << lines[i];
  }

  // It ignores "quit" and "terminate": killed after the two waits, the window running.
  pid_t pid = Board->EngineObj->ProcessId();
  ticks = 0;
  clock.restart();
  QTest::mouseClick(Board->unload, Qt::LeftButton);
  // Not yet killed: the click returned before the program's waits.
  EXPECT_EQ(Board->QuittingEngines(), 1);
  EXPECT_EQ(::kill(pid, 0), 0);
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  EXPECT_GE(clock.elapsed(), 1000 + 500);
  EXPECT_GT(ticks, 2);
  EXPECT_NE(::kill(pid, 0), 0);
}

// The page then shows no engine, as after Unload, and nothing waits for the engine.
TEST_F(EnginePage, EngineThatEndsIsFreedByTheWatchdog) {
  WriteBytes(Folder / "script", "expect hard\nexit 3\n");
  LoadListed("prog");
  ASSERT_TRUE(Board->IsEngineLoaded());
  ASSERT_TRUE(WaitFor([this] { return !Recorded.Messages.empty(); }));
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"The engine has ended: exit code 3"}));
  EXPECT_EQ(Form->StatusText(), "The engine has ended: exit code 3");
  EXPECT_FALSE(Form->Game.EngineThinking());
  ASSERT_TRUE(WaitFor([this] { return !Board->IsEngineLoaded(); }, 60000));
  EXPECT_FALSE(Board->checkloadengine->isActive());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: Brovanel 0.1");
  EXPECT_FALSE(Board->unload->isVisible());
  EXPECT_FALSE(Board->send->isEnabled());
  EXPECT_FALSE(Board->edit1->isEnabled());
  EXPECT_EQ(Board->label5->text(), "");
  EXPECT_TRUE(Form->bianco_checked->isEnabled());
  EXPECT_TRUE(Form->nero_checked->isEnabled());
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  Recorded.Messages.clear();
  Board->sendClick();
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"error NO CHESS ENGINE LOADED"}));
}

// The received memo shows each line of the engine as one line, however it was read,
// and none of the engine before it, whose farewell comes after the new one is loaded.
TEST_F(EnginePage, ReceivedMemoHoldsTheLinesOfTheLoadedEngineOnly) {
  // The first engine stays after its farewell until it is stopped.
  UseTheProgramsEndWaits();
  WriteBytes(Folder / "script", "expect quit\nsay farewell from the first engine\n");
  Launcher(Folder / "second", "second script");
  WriteBytes(Folder / "second script",
             "write tellics say\npause 300\nwrite  hello\\n\nwrite and\npause 300\nsay  bye\nsay done\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  LoadListed("second");
  ASSERT_TRUE(WaitFor(
      [this] { return Board->QuittingEngines() == 0 && Memo(Board->Memoinput1).ends_with("done"); }, 60000));
  EXPECT_EQ(Memo(Board->Memoinput1), "tellics say hello\nand bye\ndone");
  EXPECT_TRUE(Recorded.Messages.empty());
}

// The memory the process holds, in bytes.
std::size_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  return 0;
}

// An engine that writes without end: the window goes on answering, its memory stays
// bounded, the memo keeps its line limit, and Unload ends the engine and reaps it.
TEST_F(EnginePage, FloodingEngineLeavesTheWindowAnsweringAndUnloadEndsIt) {
  UseTheProgramsEndWaits();
  WriteBytes(Folder / "script", "flood 0 y\n");
  LoadListed("prog");
  ASSERT_TRUE(Board->IsEngineLoaded());
  ASSERT_TRUE(WaitFor([this] { return Board->Memoinput1->document()->blockCount() >= TFormOpengl::MEMO_MAX_LINES; },
                      60000));
  const std::size_t before = ResidentBytes();
  // How long a zero timer waits to run, over ten seconds of flood.
  std::vector<qint64> lags;
  QElapsedTimer flood;
  flood.start();
  while (flood.elapsed() < 10000) {
    QElapsedTimer waited;
    qint64 lag = -1;
    waited.start();
    QTimer::singleShot(0, [&] { lag = waited.elapsed(); });
    ASSERT_TRUE(WaitFor([&] { return lag >= 0; }, 60000));
    lags.push_back(lag);
    QTest::qWait(20);
  }
  const std::size_t after = ResidentBytes();
  EXPECT_LT(after, before + 50 * 1024 * 1024) << before << " bytes before, " << after << " after";
  EXPECT_LE(Board->Memoinput1->document()->blockCount(), TFormOpengl::MEMO_MAX_LINES);
  std::sort(lags.begin(), lags.end());
  // Generous: only a main thread buried under the engine's output misses it.
  EXPECT_LT(lags.back(), 2000);
  std::cout << "[ flood ] " << lags.size() << " zero timers, lag median " << lags[lags.size() / 2] << " ms, 90th "
            << lags[lags.size() * 9 / 10] << " ms, max " << lags.back() << " ms; memory " << before / 1024
            << " KiB before, " << after / 1024 << " KiB after\n";

  pid_t pid = Board->EngineObj->ProcessId();
  QElapsedTimer unloading;
  unloading.start();
  QTest::mouseClick(Board->unload, Qt::LeftButton);
  EXPECT_FALSE(Board->IsEngineLoaded());
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }, 60000));
  std::cout << "[ flood ] unloaded in " << unloading.elapsed() << " ms\n";
  // Reaped: not even a zombie is left.
  EXPECT_NE(::kill(pid, 0), 0);
  EXPECT_TRUE(Recorded.Messages.empty());
}

// New Match: the start position, the board unlocked, and the engine told to start
// again; without an engine nothing is sent.
TEST_F(EnginePage, NewMatchResetsTheBoardAndTellsTheEngine) {
  const char AFTER_E4[] = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/";
  ASSERT_TRUE(Form->Game.LoadFen(AFTER_E4));
  Form->Game.SetEngineThinking(true);
  Board->ToolButton12->trigger();
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/");
  EXPECT_EQ(Form->Game.Rights().Castling, unsigned(ALL_CASTLES));
  EXPECT_FALSE(Form->Game.EngineThinking());

  WriteBytes(Folder / "script", "expect new\nexpect new\nsay done\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  // From the start position nothing is given up.
  EXPECT_EQ(Form->StatusText(), "Ready");
  ASSERT_TRUE(Form->Game.LoadFen(AFTER_E4));
  Form->Game.SetEngineThinking(true);
  Board->ToolButton12->trigger();
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/");
  EXPECT_FALSE(Form->Game.EngineThinking());
  ASSERT_TRUE(WaitFor([this] { return Memo(Board->Memoinput1).find("done") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + FEATURES + "force\nnew\n");
  EXPECT_TRUE(Recorded.Messages.empty());

  // An engine that plays light is told so again and moves first: locked until then.
  QTest::mouseClick(Board->unload, Qt::LeftButton);
  Form->nero_checked->trigger();
  WriteBytes(Folder / "script", "expect go\nexpect go\nsay move d2d4\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  Board->ToolButton12->trigger();
  EXPECT_TRUE(Form->Game.EngineThinking());
  ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking(); }));
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR/");
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "white\ngo\n" + FEATURES + "force\nnew\nwhite\ngo\n");
}

// A real engine from the launchers the build made, loaded through the page with the
// program's own waits, answers a move typed on the page.
TEST_F(EnginePage, RealEngineFromTheListAnswers) {
  Form->Folders.Engines = ENGINE_FOLDER;
  if (!fs::exists(fs::path(ENGINE_FOLDER) / "fairymax")) GTEST_SKIP() << "fairymax is not installed";
  Board->EngineDelays = TEngineDelays();
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  LoadListed("fairymax");
  ASSERT_TRUE(Board->IsEngineLoaded());
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  Type("sd 3");
  TBitBoards start = Form->Game.Board();
  Type("e2e4");
  ASSERT_TRUE(WaitFor([this, &start] { return Form->Game.Board() != start; })) << Memo(Board->Memoinput1);
  EXPECT_NE(Memo(Board->Memoinput1).find("move "), std::string::npos);
  // One dark piece has moved (the position was the start: e2e4 went to the engine only).
  int darkMoved = 0;
  for (int code = DARK_PAWN; code < EMPTY_SQUARE; code += 2) darkMoved += Form->Game.Board()[code] != start[code];
  EXPECT_EQ(darkMoved, 1);
  QTest::mouseClick(Board->unload, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
}

}  // namespace

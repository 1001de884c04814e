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
#include <iostream>

#include "tests/app/EngineTestSupport.h"
#include "tests/base/ProcessMemory.h"
#include "FormTestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The opening commands; the last asks for the engine's features.
const char HANDSHAKE[] = "xboard\nnew\nrandom\npost\nhard\nprotover 2\n";

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
    Board->EngineDelays = FastEngineDelays();
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
    for (int i = 0; i < Board->EngineList->count(); ++i)
      lines.push_back(Board->EngineList->item(i)->text().toStdString());
    return lines;
  }
  void ShowEnginesPage() {
    Board->Pages->setCurrentWidget(Board->EnginesPage);
    Board->EnginePages->setCurrentWidget(Board->EngineExchangePage);
    Board->EnginePages->setCurrentWidget(Board->EngineChoicePage);
  }
  // Shows the page, which lists the engines anew, then loads one.
  void LoadListed(const std::string& name) {
    ShowEnginesPage();
    SelectAndLoad(name);
  }
  // Clicks the list's line ending in `name`, then "Load Engine".
  void SelectAndLoad(const std::string& name) {
    QListWidget* list = Board->EngineList;
    for (int i = 0; i < list->count(); ++i) {
      if (!list->item(i)->text().endsWith(QString::fromStdString("/" + name))) continue;
      list->scrollToItem(list->item(i));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
    }
    QTest::mouseClick(Board->LoadEngineButton, Qt::LeftButton);
  }
  void Type(const std::string& line) {
    Board->CommandBox->lineEdit()->clear();
    QTest::keyClicks(Board->CommandBox->lineEdit(), QString::fromStdString(line));
    QTest::mouseClick(Board->SendButton, Qt::LeftButton);
  }
  std::string Received() const { return ReadBytes(Log()); }
  std::string Memo(QPlainTextEdit* memo) const { return memo->toPlainText().toStdString(); }

  fs::path Folder;
};

TEST_F(EnginePage, ListsProgramsOfTheFolderAndOfItsSubFoldersOnly) {
  ShowEnginesPage();
  std::string top = Folder.string();
  EXPECT_EQ(Listed(), (std::vector<std::string>{top + "/prog", top + "/sub/prog2"}));
  ASSERT_EQ(Board->EngineParametersList->count(), 2);
  EXPECT_EQ(Board->EngineParametersList->item(1)->text(), "");
  EXPECT_TRUE(Board->LoadEngineButton->isEnabled());
  // Choosing the sub-folder in the folder list scans from there.
  QListWidgetItem* sub = Board->FolderList->findItems("sub", Qt::MatchExactly).value(0);
  ASSERT_NE(sub, nullptr);
  emit Board->FolderList->itemActivated(sub);
  EXPECT_EQ(Form->Folders.Engines, top + "/sub");
  EXPECT_EQ(Listed(), (std::vector<std::string>{top + "/sub/prog2", top + "/sub/deeper/prog3"}));
  // Nothing selected: nothing starts.
  QTest::mouseClick(Board->LoadEngineButton, Qt::LeftButton);
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"Please select an engine"}));
  EXPECT_FALSE(Board->IsEngineLoaded());
  // A program added by hand, with its parameters.
  Board->EnginePathEdit->setText("  /usr/games/none  ");
  Board->EngineParametersEdit->setText("-x 1");
  QTest::mouseClick(Board->AddEngineButton, Qt::LeftButton);
  EXPECT_EQ(Listed().back(), "/usr/games/none");
  EXPECT_EQ(Board->EngineParametersList->item(2)->text(), "-x 1");
  EXPECT_EQ(Board->EnginePathEdit->text(), "");
  // A line whose file is gone, and one that is no program: nothing runs, and the page
  // shows no engine.
  Recorded.Messages.clear();
  SelectAndLoad("none");
  Board->EnginePathEdit->setText(QString::fromStdString((Folder / "readme.txt").string()));
  QTest::mouseClick(Board->AddEngineButton, Qt::LeftButton);
  SelectAndLoad("readme.txt");
  ASSERT_EQ(Recorded.Messages.size(), 2u);
  EXPECT_EQ(Recorded.Messages[0], "File not found: /usr/games/none");
  EXPECT_EQ(Recorded.Messages[1].rfind("Cannot start the engine " + (Folder / "readme.txt").string() + ": ", 0), 0u)
      << Recorded.Messages[1];
  EXPECT_FALSE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->UnloadEngineButton->isVisible());
  EXPECT_FALSE(Board->SendButton->isEnabled());
  EXPECT_FALSE(Form->Game.EngineThinking());
}

TEST_F(EnginePage, LoadSendHistoryAndUnload) {
  WriteBytes(Folder / "script", "expect e2e4\nsay move e7e5\n");
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/"));
  LoadListed("prog");
  ASSERT_TRUE(Board->IsEngineLoaded());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: prog");
  EXPECT_EQ(Board->UnloadEngineButton->text(), "Unload prog ");
  // 15 pixels a letter of the name, but as wide as its caption at least.
  QPushButton* unload = Board->UnloadEngineButton;
  EXPECT_GE(unload->width(), 60);
  EXPECT_GE(unload->width(), unload->minimumSizeHint().width());
  EXPECT_GT(unload->width(), unload->fontMetrics().horizontalAdvance(unload->text()));
  EXPECT_FALSE(Form->PlayLightItem->isEnabled());
  EXPECT_EQ(Board->EnginePages->currentWidget(), Board->EngineExchangePage);
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted(); }));
  EXPECT_FALSE(Form->Game.EngineThinking());
  // Loading starts from the start position, and says so when the board showed another.
  EXPECT_EQ(Form->StatusText(), std::string("Ready. ") + ENGINE_NEW_GAME_TEXT);
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/"));
  for (const char* line : {"  hint ", "hint", "e2e4"}) Type(line);
  ASSERT_TRUE(WaitFor([this] { return Memo(Board->ReceivedMemo).find("move e7e5") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "hint\nhint\ne2e4\n");
  EXPECT_EQ(Memo(Board->SentMemo), "xboard\nnew\nrandom\npost\nhard\nprotover 2\nhint\nhint\ne2e4");
  ASSERT_EQ(Board->CommandBox->count(), 2);
  EXPECT_EQ(Board->CommandBox->itemText(0), "hint");
  EXPECT_EQ(Board->CommandBox->itemText(1), "e2e4");
  // The engine's move is in the game.
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR");
  Recorded.Messages.clear();
  Type("   ");
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{"     What ?     "}));

  pid_t pid = Board->EngineObj->ProcessId();
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
  EXPECT_FALSE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->UnloadEngineButton->isVisible());
  EXPECT_FALSE(Board->SendButton->isEnabled());
  EXPECT_TRUE(Form->PlayDarkItem->isEnabled());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: Brovanel 0.1");
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "hint\nhint\ne2e4\nquit\n");
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
  Form->PlayDarkItem->trigger();
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(20);
  QElapsedTimer clock;
  clock.start();
  const auto loaded = std::chrono::steady_clock::now();
  ShowEnginesPage();
  Board->EngineList->item(0)->setSelected(true);
  Board->LoadSelectedEngine();
  ASSERT_TRUE(Board->IsEngineLoaded());
  EXPECT_FALSE(Board->EngineObj->IsReady());
  EXPECT_TRUE(Form->Game.EngineThinking());
  // Held back until the opening commands are out.
  Type("level 0 5 0");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->IsReady(); }));
  qint64 ready = clock.elapsed();
  // The engine says no features: it is told its side once their wait is over.
  EXPECT_GE(ready, 200 + 3000 + 7 * 100 + 2000);
  EXPECT_GT(ticks, 2);
  // The engine plays light: locked until its first move.
  EXPECT_TRUE(Form->Game.EngineThinking());
  const std::vector<std::string> lines = {"xboard", "new",   "random", "post",       "hard",
                                          "protover 2", "white", "go",    "level 0 5 0"};
  ASSERT_TRUE(WaitFor([this] { return Received().find("level") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "white\ngo\nlevel 0 5 0\n");
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
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
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
  EXPECT_FALSE(Board->EngineWatchTimer->isActive());
  EXPECT_EQ(Board->windowTitle(), "Host Engine: Brovanel 0.1");
  EXPECT_FALSE(Board->UnloadEngineButton->isVisible());
  EXPECT_FALSE(Board->SendButton->isEnabled());
  EXPECT_FALSE(Board->CommandBox->isEnabled());
  EXPECT_EQ(Board->EnginePathLabel->text(), "");
  EXPECT_TRUE(Form->PlayLightItem->isEnabled());
  EXPECT_TRUE(Form->PlayDarkItem->isEnabled());
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  Recorded.Messages.clear();
  Board->SendCommandLine();
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
      [this] { return Board->QuittingEngines() == 0 && Memo(Board->ReceivedMemo).ends_with("done"); }, 60000));
  EXPECT_EQ(Memo(Board->ReceivedMemo), "tellics say hello\nand bye\ndone");
  EXPECT_TRUE(Recorded.Messages.empty());
}

// The memory the process holds, in bytes.
std::size_t ResidentBytes() { return std::size_t(ProcessStatusKb("VmRSS:")) * 1024; }

// An engine that writes without end: the window goes on answering, its memory stays
// bounded, the memo keeps its line limit, and Unload ends the engine and reaps it.
TEST_F(EnginePage, FloodingEngineLeavesTheWindowAnsweringAndUnloadEndsIt) {
  UseTheProgramsEndWaits();
  WriteBytes(Folder / "script", "flood 0 y\n");
  LoadListed("prog");
  ASSERT_TRUE(Board->IsEngineLoaded());
  ASSERT_TRUE(WaitFor([this] { return Board->ReceivedMemo->document()->blockCount() >= TFormOpengl::MEMO_MAX_LINES; },
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
  EXPECT_LE(Board->ReceivedMemo->document()->blockCount(), TFormOpengl::MEMO_MAX_LINES);
  std::sort(lags.begin(), lags.end());
  // Generous: only a main thread buried under the engine's output misses it.
  EXPECT_LT(lags.back(), 2000);
  std::cout << "[ flood ] " << lags.size() << " zero timers, lag median " << lags[lags.size() / 2] << " ms, 90th "
            << lags[lags.size() * 9 / 10] << " ms, max " << lags.back() << " ms; memory " << before / 1024
            << " KiB before, " << after / 1024 << " KiB after\n";

  pid_t pid = Board->EngineObj->ProcessId();
  QElapsedTimer unloading;
  unloading.start();
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
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
  Board->NewMatchButton->trigger();
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  EXPECT_EQ(Form->Game.Rights().Castling, unsigned(ALL_CASTLES));
  EXPECT_FALSE(Form->Game.EngineThinking());

  WriteBytes(Folder / "script", "expect new\nexpect new\nsay done\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted(); }));
  // From the start position nothing is given up.
  EXPECT_EQ(Form->StatusText(), "Ready");
  ASSERT_TRUE(Form->Game.LoadFen(AFTER_E4));
  Form->Game.SetEngineThinking(true);
  Board->NewMatchButton->trigger();
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  EXPECT_FALSE(Form->Game.EngineThinking());
  ASSERT_TRUE(WaitFor([this] { return Memo(Board->ReceivedMemo).find("done") != std::string::npos; }));
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "force\nnew\n");
  EXPECT_TRUE(Recorded.Messages.empty());

  // An engine that plays light is told so again and moves first: locked until then.
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
  Form->PlayDarkItem->trigger();
  WriteBytes(Folder / "script", "expect go\nexpect go\nsay move d2d4\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted(); }));
  Board->NewMatchButton->trigger();
  EXPECT_TRUE(Form->Game.EngineThinking());
  ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking(); }));
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR");
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "white\ngo\nforce\nnew\nwhite\ngo\n");

  // One whose features say "colors=0" plays light on "go" alone, and is never sent
  // "white" or "black".
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
  Board->EngineDelays.FeatureWait = 60s;  // ended by its "done=1"
  WriteBytes(Folder / "script",
             "expect protover 2\nsay feature colors=0 done=1\nexpect go\nsay move d2d4\nexpect go\nsay move e2e4\n");
  LoadListed("prog");
  ASSERT_TRUE(WaitFor([this] { return Board->EngineObj->HasStarted() && !Form->Game.EngineThinking(); }));
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR");
  Board->NewMatchButton->trigger();
  ASSERT_TRUE(WaitFor([this] { return !Form->Game.EngineThinking(); }));
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR");
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "go\nforce\nnew\ngo\n");
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
  ASSERT_TRUE(WaitFor([this, &start] { return Form->Game.Board() != start; })) << Memo(Board->ReceivedMemo);
  EXPECT_NE(Memo(Board->ReceivedMemo).find("move "), std::string::npos);
  // One dark piece has moved (the position was the start: e2e4 went to the engine only).
  int darkMoved = 0;
  for (int code = DARK_PAWN; code < EMPTY_SQUARE; code += 2) darkMoved += Form->Game.Board()[code] != start[code];
  EXPECT_EQ(darkMoved, 1);
  QTest::mouseClick(Board->UnloadEngineButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([this] { return Board->QuittingEngines() == 0; }));
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
}

}  // namespace

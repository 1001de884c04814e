#include "app/windows/uchess.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <optional>

#include "FormTestSupport.h"
#include "WindowSystemTitle.h"
#include "app/windows/Main.h"
#include "app/windows/uhelp.h"

namespace fs = std::filesystem;

namespace {

const char START_CLIPBOARD[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char AFTER_E4[] = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR";
const char START_FILE[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\r\n";

TEST_F(MainWindow, ClipboardCopyAndPasteTakeTheExactText) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  Form->CopyPositionItem->trigger();
  EXPECT_EQ(clipboard->text().toStdString(), START_CLIPBOARD);
  ASSERT_TRUE(Form->Game.LoadFen(AFTER_E4));
  Form->CopyPositionItem->trigger();
  EXPECT_EQ(clipboard->text().toStdString(), std::string(AFTER_E4) + " w KQkq - 0 1");

  struct TPaste {
    const char* Clipboard;
    const char* Placement;  // after the paste; null: unchanged, with a message
  };
  const TPaste cases[] = {
      {START_CLIPBOARD, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3 0 1\r\n", AFTER_E4},
      {"8/8/8/8/8/8/8/8", nullptr},
      {"4k3/8/8/8/8/8/4R3/4K3 b", "4k3/8/8/8/8/8/4R3/4K3"},
      {"4k3/8/8/8/8/8/4R3/4K3 w", nullptr},
      {"hello", nullptr},
      {"", nullptr},
      {"rnbqkbnr/pppppppp/8/8", nullptr},
  };
  for (const TPaste& paste : cases) {
    ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
    Form->PositionFile.clear();
    Recorded.Messages.clear();
    clipboard->setText(QString::fromLatin1(paste.Clipboard));
    Form->PastePositionItem->trigger();
    std::string expected = paste.Placement ? paste.Placement : "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
    EXPECT_EQ(FenPlacementText(Form->Game.Board()), expected) << paste.Clipboard;
    EXPECT_EQ(Recorded.Messages.size(), paste.Placement ? 0u : 1u) << paste.Clipboard;
  }
  EXPECT_EQ(Recorded.Messages.at(0), "The clipboard holds no position: expected the placement of a FEN text, "
                                     "found \"rnbqkbnr/pppppppp/8/8\"");
}

TEST_F(MainWindow, PositionFilesHoldExactBytesUnderNamesOfAnyLength) {
  fs::path folder = TestFolder("positions");
  // Folder names past 255 characters on the way.
  fs::path deep = folder / std::string(120, 'd') / std::string(120, 'e') / std::string(40, 'f');
  fs::create_directories(deep);
  struct TName {
    const char* Typed;
    const char* Saved;
  };
  const TName names[] = {{"start", "start.fen"}, {"game.FEN", "game.FEN"}, {"game.txt", "game.txt.fen"}};
  for (const TName& name : names) {
    ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
    Form->PositionFile.clear();
    Recorded.Chosen = (deep / name.Typed).string();
    Form->SavePositionItem->trigger();
    fs::path saved = deep / name.Saved;
    EXPECT_EQ(ReadBytes(saved), START_FILE) << name.Typed;
    EXPECT_EQ(Form->PositionFile, saved.string());
    EXPECT_TRUE(Form->windowTitle().startsWith(QString::fromStdString("Brovanel 0.1 " + saved.string())))
        << Form->windowTitle().toStdString();
  }
  // Only the first line is read; a line end of either kind ends it.
  for (const char* end : {"\r\n", "\n"}) {
    fs::path twoLines = deep / "two lines.fen";
    WriteBytes(twoLines, std::string(AFTER_E4) + " w - - 0 1" + end + START_FILE);
    Recorded.Chosen = twoLines.string();
    Form->LoadPositionItem->trigger();
    EXPECT_EQ(FenPlacementText(Form->Game.Board()), AFTER_E4);
    EXPECT_EQ(Form->PositionFile, twoLines.string());
    // Saving it again gives the same bytes.
    Form->SavePositionItem->trigger();
    EXPECT_EQ(ReadBytes(twoLines), std::string(AFTER_E4) + " w - - 0 1\r\n");
  }
  // A file without a position changes nothing, and does not become the file to save to.
  fs::path notes = deep / "notes.txt";
  WriteBytes(notes, "shopping list\n");
  Recorded.Chosen = notes.string();
  Recorded.Messages.clear();
  Form->LoadPositionItem->trigger();
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), AFTER_E4);
  EXPECT_EQ(Form->PositionFile, (deep / "two lines.fen").string());
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0], "The file " + notes.string() +
                                      " holds no position: expected the placement of a FEN text, found \"shopping list\"");
  fs::remove_all(folder);
}

TEST_F(MainWindow, CancelledSaveWritesNothingAndTheLookFileIsNeverThePositionFile) {
  fs::path folder = TestFolder("cancel");
  // The command line named a look file: it is not the position file.
  WriteBytes(LOOK_FILE_ARGUMENT, "[board]\r\nname=Brovanel\r\n");
  EXPECT_EQ(QCoreApplication::arguments().value(1).toStdString(), LOOK_FILE_ARGUMENT);
  EXPECT_EQ(Form->PositionFile, "");
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  Recorded.Chosen.clear();
  Form->SavePositionItem->trigger();
  EXPECT_EQ(Recorded.Asked, (std::vector<std::string>{"save|*.fen|*.fen"}));
  EXPECT_EQ(ReadBytes(LOOK_FILE_ARGUMENT), "[board]\r\nname=Brovanel\r\n");
  EXPECT_EQ(Form->PositionFile, "");
  EXPECT_FALSE(fs::exists(""));
  // Save As cancelled with a file known: the file keeps its bytes.
  fs::path known = folder / "known.fen";
  WriteBytes(known, "8/8/8/8/8/8/8/8/ w - - 0 1\r\n");
  Form->PositionFile = known.string();
  Form->SavePositionAsItem->trigger();
  EXPECT_EQ(ReadBytes(known), "8/8/8/8/8/8/8/8/ w - - 0 1\r\n");
  EXPECT_FALSE(Form->SaveAsRequested);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  fs::remove_all(folder);
}

// A new file is written and renamed over the old one: a second name of the old file
// keeps the old bytes, which a write in place would have changed too.
TEST_F(MainWindow, SavingReplacesThePositionFileWhole) {
  fs::path folder = TestFolder("replace");
  fs::path file = folder / "game.fen";
  WriteBytes(file, "old bytes\r\n");
  fs::create_hard_link(file, folder / "other name");
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  Form->PositionFile = file.string();
  Form->SavePositionItem->trigger();
  EXPECT_EQ(ReadBytes(file), START_FILE);
  EXPECT_EQ(ReadBytes(folder / "other name"), "old bytes\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
  // A folder that is not there: reported, nothing written.
  Form->PositionFile = (folder / "missing" / "game.fen").string();
  Form->SavePositionItem->trigger();
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0].rfind("Cannot write the position file " + Form->PositionFile + ": ", 0), 0u);
  fs::remove_all(folder);
}

// A standard FEN text pasted and copied, or loaded from a file and saved over it, comes
// back as it was, counters and all. The program's old texts (a "/" after the last rank)
// and texts after a byte order mark take the same position, and come back standard.
TEST_F(MainWindow, PositionsComeBackAsTheyWereAndOldOrMarkedTextsLoad) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const fs::path file = TestFolder("standard") / "game.fen";
  const std::string mark = "\xEF\xBB\xBF";
  const std::string afterNf3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2";
  const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
  const std::pair<std::string, std::string> cases[] = {
      {afterNf3, afterNf3},
      {afterE4, afterE4},
      {"8/5k2/8/8/8/8/3K4/8 w - - 7 40", "8/5k2/8/8/8/8/3K4/8 w - - 7 40"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ b KQkq e3 0 1", afterE4},
      {"4k3/8/8/8/8/8/4R3/4K3/ w - - 0 1", "4k3/8/8/8/8/8/4R3/4K3 b - - 0 1"},
      {mark + afterNf3, afterNf3},
      {mark + "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ b KQkq e3 0 1", afterE4},
  };
  for (const auto& [given, taken] : cases) {
    ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
    // QString drops a mark that leads UTF-8: the clipboard is given it as a character.
    QString text = QString::fromStdString(given);
    if (given.starts_with(mark)) text.prepend(QChar(0xFEFF));
    clipboard->setText(text);
    Form->PastePositionItem->trigger();
    Form->CopyPositionItem->trigger();
    EXPECT_EQ(clipboard->text().toStdString(), taken) << given;
    ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
    WriteBytes(file, given + "\r\n");
    Recorded.Chosen = file.string();
    Form->LoadPositionItem->trigger();
    Form->SavePositionItem->trigger();
    EXPECT_EQ(ReadBytes(file), taken + "\r\n") << given;
  }
  EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
  fs::remove_all(file.parent_path());
}

// What the board window's first frame showed: seen at the first paint of any board
// view, whenever the window is made.
class TFirstFrameWatch : public QObject {
public:
  TFirstFrameWatch() { qApp->installEventFilter(this); }
  ~TFirstFrameWatch() override { qApp->removeEventFilter(this); }

  bool Seen = false;
  int Pieces = 0;
  float FocalLength = 0;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* view = dynamic_cast<TGLSceneViewer*>(watched);
    if (FHooked || event->type() != QEvent::Paint || !view) return false;
    TFormOpengl* board = nullptr;
    for (QWidget* up = view->parentWidget(); up && !board; up = up->parentWidget())
      board = dynamic_cast<TFormOpengl*>(up);
    if (!board) return false;
    FHooked = true;
    view->Buffer().AfterRender = [this, board](TObject*) {
      if (Seen) return;
      Seen = true;
      Pieces = PiecesOnSquares(*board);
      FocalLength = board->Camera->FocalLength();
    };
    return false;
  }

private:
  bool FHooked = false;
};

TEST(ProgramStart, TheFirstFrameShowsEveryPieceFromTheStartCamera) {
  TFirstFrameWatch first;
  TForm1 form;
  ASSERT_TRUE(WaitFor([&] { return first.Seen; }));
  EXPECT_EQ(first.Pieces, 32);
  EXPECT_EQ(first.FocalLength, 105);
}

// A position no game can reach, from a file by either Load Position or from the
// clipboard: one message, and the position, the board's pieces and the file to save
// to stay as they were.
TEST_F(MainWindow, ImpossiblePositionsAreRefusedAndTheBoardKeepsItsPosition) {
  ASSERT_TRUE(WaitFor([this] { return Board->FirstPiecesTimer == nullptr; }));
  fs::path folder = TestFolder("impossible");
  WriteBytes(folder / "game.fen", std::string(AFTER_E4) + " w - - 0 1\r\n");
  Recorded.Chosen = (folder / "game.fen").string();
  Form->LoadPositionItem->trigger();
  ASSERT_EQ(FenPlacementText(Form->Game.Board()), AFTER_E4);
  ASSERT_TRUE(Recorded.Messages.empty());
  auto e4Shown = [this] {
    const TBoardPiece* pawn = Board->PieceAtSquare({4, 4});
    return pawn && pawn->Letter == 'P' && pawn->Obj->Visible() && !Board->PieceAtSquare({2, 4}) &&
           PiecesOnSquares(*Board) == 32;
  };
  EXPECT_TRUE(e4Shown());

  const fs::path rookTakesKing = folder / "rook takes king.fen";
  WriteBytes(rookTakesKing, "4k3/8/8/8/8/8/4R3/4K3 w\r\n");
  Recorded.Chosen = rookTakesKing.string();
  for (QAction* load : {Form->LoadPositionItem, Board->LoadPositionButton}) {
    Recorded.Messages.clear();
    load->trigger();
    ASSERT_EQ(Recorded.Messages.size(), 1u) << load->objectName().toStdString();
    EXPECT_EQ(Recorded.Messages[0], "The file " + rookTakesKing.string() +
                                        " holds a position that no game can reach: dark's king on e8 is in check "
                                        "while light is to move");
    EXPECT_EQ(FenPlacementText(Form->Game.Board()), AFTER_E4);
    EXPECT_EQ(Form->PositionFile, (folder / "game.fen").string());
    EXPECT_TRUE(e4Shown());
  }
  Recorded.Messages.clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("4K3/8/8/8/8/8/8/k3k3 b KQkq - 0 1"));
  Form->PastePositionItem->trigger();
  EXPECT_EQ(Recorded.Messages,
            std::vector<std::string>{"The clipboard holds a position that no game can reach: dark has 2 kings"});
  EXPECT_EQ(FenPlacementText(Form->Game.Board()), AFTER_E4);
  EXPECT_TRUE(e4Shown());
  fs::remove_all(folder);
}

// Text from a file or the clipboard shows in the message box as it is: a heading, a
// colour or a script in it is neither drawn nor cut out.
TEST_F(MainWindow, MessageBoxesShowTextFromFilesAndTheClipboardAsPlainText) {
  fs::path folder = TestFolder("plain");
  const std::string page = "<h1>HUGE</h1><font color=red>red</font>";
  WriteBytes(folder / "page.fen", page + "\r\n");
  TMessageBoxes boxes(Recorded);
  Recorded.Chosen = (folder / "page.fen").string();
  Form->LoadPositionItem->trigger();
  QGuiApplication::clipboard()->setText(QStringLiteral("<script>alert(1)</script>"));
  Form->PastePositionItem->trigger();
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "The file " + Recorded.Chosen +
                                     " holds no position: expected the placement of a FEN text, found \"" + page + "\"");
  EXPECT_EQ(boxes.Shown[1].Text, "The clipboard holds no position: expected the placement of a FEN text, found "
                                 "\"<script>alert(1)</script>\"");
  EXPECT_TRUE(boxes.Shown[0].Plain);
  EXPECT_TRUE(boxes.Shown[1].Plain);
  fs::remove_all(folder);
}

// A look file named on the command line that is no look, or is not there: one message
// box, and the board gets its pieces all the same, though the box's event loop ran the
// tick that fills the board before the main window knew its board window.
TEST(StartLook, ABadLookNamedAtStartIsReportedAndTheBoardGetsItsPieces) {
  const std::string path = LOOK_FILE_ARGUMENT;
  const char randomBytes[] = "\x89\x01\xfe random\n\x00\x7f bytes";
  struct TCase {
    std::optional<std::string> Bytes;  // none: no file
    std::string Message;
  };
  const TCase cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w - - 0 1\r\n", path + " is not a valid file."},
      {std::string(randomBytes, sizeof randomBytes - 1), path + " is not a valid file."},
      {std::nullopt, START_LOOK_NOT_FOUND_TEXT + path},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Message);
    if (test.Bytes)
      WriteBytes(path, *test.Bytes);
    else
      fs::remove(path);
    TRecordingDialogs recorded;
    // While the box is shown, the board window being made has had its tick.
    auto boardBeingMade = [] {
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* board = dynamic_cast<TFormOpengl*>(widget)) return board;
      return static_cast<TFormOpengl*>(nullptr);
    };
    TMessageBoxes boxes(recorded, [&] {
      EXPECT_TRUE(WaitFor([&] { return boardBeingMade() && !boardBeingMade()->FirstPiecesTimer; }));
    });
    auto form = std::make_unique<TForm1>();
    ASSERT_TRUE(WaitFor([&] { return form->FormOpengl != nullptr; }));
    TFormOpengl* board = form->FormOpengl;
    ASSERT_TRUE(WaitFor([&] { return board->FirstPiecesTimer == nullptr; }));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, test.Message);
    EXPECT_TRUE(boxes.Shown[0].Plain);
    EXPECT_EQ(PiecesOnSquares(*board), 32);
    EXPECT_EQ(FenPlacementText(form->Game.Board()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    EXPECT_NE(board->LightBoardMesh, nullptr);
    EXPECT_TRUE(form->ArtisticItem->isChecked());
    form.reset();
    QCoreApplication::processEvents();
  }
  WriteBytes(path, "[board]\r\nname=Brovanel\r\n");
}

TEST_F(MainWindow, ClassicAndArtisticItemsCheckAsTheBoardChanges) {
  auto checked = [this] {
    std::string marks;
    for (QAction* item : Form->ClassicPictureItems) marks += item->isChecked() ? '1' : '0';
    return marks;
  };
  EXPECT_TRUE(Form->ArtisticItem->isChecked());
  EXPECT_FALSE(Form->ArtisticItem->isEnabled());
  Form->ClassicPictureItems[2]->trigger();
  EXPECT_TRUE(Form->ClassicItem->isChecked());
  EXPECT_EQ(checked(), "00100");
  EXPECT_FALSE(Form->ArtisticItem->isChecked());
  EXPECT_TRUE(Form->ArtisticItem->isEnabled());
  EXPECT_FALSE(Board->LightBoardTextureButton->isVisible());
  Form->ArtisticItem->trigger();
  EXPECT_FALSE(Form->ClassicItem->isChecked());
  EXPECT_EQ(checked(), "00000");
  EXPECT_TRUE(Form->ArtisticItem->isChecked());
  EXPECT_FALSE(Form->ArtisticItem->isEnabled());
  EXPECT_TRUE(Board->LightBoardTextureButton->isVisible());
  // The side items: light at start, either one while no engine runs.
  EXPECT_EQ(Form->UserSide(), TSide::Light);
  Form->PlayDarkItem->trigger();
  EXPECT_EQ(Form->UserSide(), TSide::Dark);
  EXPECT_FALSE(Form->PlayLightItem->isChecked());
  Form->PlayDarkItem->trigger();
  EXPECT_TRUE(Form->PlayDarkItem->isChecked());
}

// The About box, shown by the Help item, closes with Esc in its edit and with OK; its
// links open their own addresses, and its licence button shows the licence text.
// The window system shows the main window's title as the program sets it, with the
// board window's caption while that is maximised: the program's name once, nothing
// added after it.
TEST_F(MainWindow, TheTitleNamesTheProgramOnce) {
  const std::string expected = "Brovanel 0.1 - [NO CHESS ENGINE LOADED]";
  ASSERT_TRUE(WaitFor([&] { return Form->windowTitle().toStdString() == expected; }))
      << Form->windowTitle().toStdString();
  std::string shown;
  EXPECT_TRUE(WaitFor([&] { return (shown = WindowSystemTitle(Form->winId())) == expected; })) << shown;
}

TEST_F(MainWindow, AboutBoxClosesWithEscAndOkAndOpensItsLinks) {
  std::vector<QUrl> opened;
  SetUrlOpener([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  ASSERT_TRUE(Form->AboutItem->isVisible());
  for (bool escape : {true, false}) {
    bool acted = false;
    QTimer::singleShot(50, [&acted, escape] {
      auto* dialog = dynamic_cast<TOKRightDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      acted = true;
      EXPECT_EQ(dialog->windowTitle(), "About Brovanel 0.1");
      EXPECT_EQ(dialog->HostEngineMemo->toPlainText(), "no engine");
      if (escape)
        QTest::keyClick(dialog->FocusHolder, Qt::Key_Escape);
      else
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
      if (dialog->isVisible()) dialog->done(0);
    });
    Form->AboutItem->trigger();
    EXPECT_TRUE(acted);
  }
  TOKRightDlg dialog(Form->Folders.App);
  dialog.show();
  for (QWidget* link : {static_cast<QWidget*>(dialog.WebLink), static_cast<QWidget*>(dialog.MailLink),
                        static_cast<QWidget*>(dialog.ArtworkLink), static_cast<QWidget*>(dialog.FreeEnginesLink)})
    QTest::mouseClick(link, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 4u);
  EXPECT_EQ(opened[0], QUrl("https://brovanel.example.org/"));
  EXPECT_EQ(opened[0].toString(), dialog.WebLink->text());
  EXPECT_EQ(opened[1], QUrl("mailto:brovanel@example.org"));
  EXPECT_EQ(opened[2], QUrl("mailto:artwork@brovanel.example.org"));
  EXPECT_EQ(opened[3], QUrl(FREE_ENGINES_ADDRESS));
  SetUrlOpener([](const QUrl&) { return false; });

  // The licence text beside the program, in a dialog of its own that OK closes.
  std::string shown;
  auto* timer = new QTimer(&dialog);
  QObject::connect(timer, &QTimer::timeout, [&shown, timer] {
    QWidget* licence = QApplication::activeModalWidget();
    if (!licence || licence->objectName() != "LicenseDlg") return;
    timer->stop();
    shown = licence->findChild<QPlainTextEdit*>("LicenseText")->toPlainText().toStdString();
    for (auto* button : licence->findChildren<QPushButton*>())
      if (button->text() == "OK") QTest::mouseClick(button, Qt::LeftButton);
    if (licence->isVisible()) static_cast<QDialog*>(licence)->reject();
  });
  timer->start(10);
  QTest::mouseClick(dialog.LicenseButton, Qt::LeftButton);
  const std::string licence = ReadBytes(Form->Folders.App + "/license.TXT");
  ASSERT_FALSE(licence.empty());
  EXPECT_EQ(shown, licence);
  EXPECT_TRUE(Recorded.Messages.empty());
  EXPECT_EQ(opened.size(), 4u);
  // Without the file: said, with the reason.
  const std::string elsewhere = TestFolder("no licence").string();
  TOKRightDlg withoutLicence(elsewhere);
  withoutLicence.show();
  QTest::mouseClick(withoutLicence.LicenseButton, Qt::LeftButton);
  EXPECT_EQ(Recorded.Messages.size(), 1u);
  Recorded.Messages.resize(1);
  EXPECT_EQ(Recorded.Messages[0].rfind("Cannot read the licence text " + elsewhere + "/license.TXT: ", 0), 0u)
      << Recorded.Messages[0];
  EXPECT_GT(Recorded.Messages[0].size(), ("Cannot read the licence text " + elsewhere + "/license.TXT: ").size());
  fs::remove_all(elsewhere);
}

}  // namespace

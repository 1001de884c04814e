#include "app/windows/uchess.h"

#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "FormSupport.h"
#include "app/windows/Main.h"
#include "app/game/maindefine.h"
#include "app/game/utility.h"
#include "base/Dialogs.h"

namespace {

// A FEN line is under 100 characters; a longer first line is cut here, since the
// placement is all that is read of it.
constexpr std::size_t MAX_POSITION_LINE = 64 * 1024;

QAction* MenuItem(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

QAction* CheckableItem(QMenu* menu, const char* name, const char* caption, bool checked) {
  QAction* action = MenuItem(menu, name, caption);
  action->setCheckable(true);
  action->setChecked(checked);
  return action;
}

// Runs `handler` on a click of `item`. A checkable item is first put back as it was
// before the click: the handlers check and uncheck the items themselves, and leave them
// as they were when they do nothing.
void OnClick(QAction* item, std::function<void()> handler) {
  QObject::connect(item, &QAction::triggered, item, [item, handler = std::move(handler)] {
    if (item->isCheckable()) item->setChecked(!item->isChecked());
    RunGuarded(handler);
  });
}

bool HasFenExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".fen";
}

// The first few characters of a text, for a message.
std::string Excerpt(const std::string& text) {
  constexpr std::size_t SHOWN = 40;
  return text.size() <= SHOWN ? text : text.substr(0, SHOWN) + "...";
}

void ReportNoPosition(const std::string& where, const std::string& text) {
  Dialogs().ShowMessage(where + " holds no position: expected the placement of a FEN text, found \"" +
                        Excerpt(text) + "\"");
}

}  // namespace

bool TForm1::TakePosition(const std::string& where, const std::string& taken) {
  // Editors that save text as UTF-8 may put a byte order mark first, and a copy from
  // such a file brings it along.
  const std::string text(WithoutByteOrderMark(taken));
  TBitBoards board;
  if (!ParseFenPlacement(text, board)) {
    ReportNoPosition(where, text);
    return false;
  }
  const TGameRights rights = PlayRightsOfFen(text, board);
  if (const std::string impossible = ImpossiblePositionText(board, rights.SideToMove); !impossible.empty()) {
    Dialogs().ShowMessage(where + " holds a position that no game can reach: " + impossible);
    return false;
  }
  Game.SetPosition(board, rights);
  return true;
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  resize(623, 548);
  ClipboardLine = new QLineEdit(QStringLiteral("clipboard"), this);
  ClipboardLine->setObjectName(QStringLiteral("Edit1"));
  ClipboardLine->hide();
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  StatusLabel = new QLabel(statusBar());
  StatusLabel->setObjectName(QStringLiteral("StatusText"));
  // It shows what engines and files say.
  StatusLabel->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(StatusLabel, 1);
  BuildMenus();
  BoardWindowTimer = NamedTimer(this, "Timer1", 1);
  BoardWindowTimer->setSingleShot(true);
  connect(BoardWindowTimer, &QTimer::timeout, this, Guarded([this] { MakeBoardWindow(); }));
  MaximiseBoardTimer = NamedTimer(this, "maxmizeopengl", 1000);
  connect(MaximiseBoardTimer, &QTimer::timeout, this, Guarded([this] { KeepBoardMaximised(); }));
  MaximiseBoardTimer->start();
  StartUp();
}

TForm1::~TForm1() {
  // The board window goes first, while the items it touches are still here.
  std::unique_ptr<QMdiSubWindow> frame(BoardFrame.data());
}

void TForm1::BuildMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
  FileMenu->setObjectName(QStringLiteral("File1"));
  LoadPositionItem = MenuItem(FileMenu, "LoadPosition1", "&Load Position...");
  SavePositionItem = MenuItem(FileMenu, "Save1", "&Save Position");
  SavePositionAsItem = MenuItem(FileMenu, "SaveAs1", "Save Position &As...");
  CopyPositionItem = MenuItem(FileMenu, "Savepositiontoclipboard1", "C&opy Position to Clipboard");
  PastePositionItem = MenuItem(FileMenu, "P1", "&Paste Position from Clipboard");
  FileMenu->addSeparator();
  ExitItem = MenuItem(FileMenu, "Close1", "&Exit");

  GameMenu = menuBar()->addMenu(QStringLiteral("&Game"));
  GameMenu->setObjectName(QStringLiteral("Game1"));
  NewGameItem = MenuItem(GameMenu, "New2", "&New");
  GameMenu->addSeparator();
  PlayLightItem = CheckableItem(GameMenu, "bianco_checked", "Move Ligth", true);
  PlayDarkItem = CheckableItem(GameMenu, "nero_checked", "Move Dark", false);
  PlayLightItem->setEnabled(false);
  PlayDarkItem->setEnabled(false);

  ViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
  ViewMenu->setObjectName(QStringLiteral("View1"));
  ClassicMenu = ViewMenu->addMenu(QStringLiteral("Classic"));
  ClassicMenu->setObjectName(QStringLiteral("Classic1Menu"));
  ClassicItem = ClassicMenu->menuAction();
  ClassicItem->setObjectName(QStringLiteral("Classic1"));
  ClassicItem->setCheckable(true);
  for (int n = 1; n <= 5; ++n) {
    std::string name = "N" + std::to_string(n);
    std::string caption = std::to_string(n);
    QAction* item = CheckableItem(ClassicMenu, name.c_str(), caption.c_str(), false);
    ClassicPictureItems[n - 1] = item;
    OnClick(item, [this, n] { n == 1 ? SwitchToClassicBoard() : ShowClassicPicture(n); });
  }
  ArtisticItem = CheckableItem(ViewMenu, "Artistic1", "Artistic", true);
  ArtisticItem->setEnabled(false);
  ViewMenu->setDefaultAction(ArtisticItem);

  HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  HelpMenu->setObjectName(QStringLiteral("Help1"));
  AboutItem = MenuItem(HelpMenu, "about2", "About Brovanel...");
  AboutItem->setVisible(false);

  OnClick(LoadPositionItem, [this] { LoadPositionAndName(); });
  OnClick(SavePositionItem, [this] { SavePositionAndName(); });
  OnClick(SavePositionAsItem, [this] { SavePositionAs(); });
  OnClick(CopyPositionItem, [this] { CopyPosition(); });
  OnClick(PastePositionItem, [this] { PastePosition(); });
  OnClick(ExitItem, [this] { ExitProgram(); });
  OnClick(PlayLightItem, [this] { PlayLight(); });
  OnClick(PlayDarkItem, [this] { PlayDark(); });
  OnClick(ArtisticItem, [this] { SwitchToArtisticBoard(); });
  OnClick(AboutItem, [this] { ShowAbout(); });
}

void TForm1::StartUp() {
  Game.SetEngineThinking(false);
  SetCaption(PROGRAM_CAPTION);
  // The application's name, not its display name: the window system would add a display
  // name to every window's title, after the caption that already holds it.
  QCoreApplication::setApplicationName(QStringLiteral("Brovanel"));
  // The first argument names a look file (the board window loads it), never a
  // position: saving a position must not overwrite it.
  PositionFile.clear();
  // The screen's size also where no window manager maximises the window.
  if (const QScreen* display = screen()) resize(display->availableGeometry().size());
  setWindowState(windowState() | Qt::WindowMaximized);
  show();
  InitBoardState();
  BoardWindowTimer->start();
  Folders = TProgramFolders::Of(QCoreApplication::applicationDirPath().toStdString());
}

void TForm1::InitBoardState() {
  Game.LoadFen(START_POSITION_FEN);
}

void TForm1::MakeBoardWindow() {
  BoardWindowTimer->stop();
  AboutItem->setVisible(true);
  SetStatusText("Use wheel mouse to set up board distance");
  MdiArea = new QMdiArea(this);
  MdiArea->setObjectName(QStringLiteral("MdiArea"));
  setCentralWidget(MdiArea);
  // At once, not one tick later as a new child of a shown window would be.
  MdiArea->show();
  auto* board = new TFormOpengl(this, Game, Folders);
  FormOpengl = board;
  // Always maximised in the area, and not closed on its own: the program ends with the
  // main window.
  BoardFrame = MdiArea->addSubWindow(board, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowMinMaxButtonsHint);
  BoardFrame->showMaximized();
  board->BoardView->show();
}

void TForm1::KeepBoardMaximised() {
  if (BoardFrame && !BoardFrame->isMaximized()) BoardFrame->showMaximized();
}

void TForm1::RefreshBoard() {
  if (FormOpengl) FormOpengl->RefreshPieces();
}

void TForm1::SetCaption(const std::string& text) {
  FCaption = text;
  setWindowTitle(QString::fromStdString(text));
}

void TForm1::SetStatusText(const std::string& text) { StatusLabel->setText(QString::fromStdString(text)); }

std::string TForm1::StatusText() const { return StatusLabel->text().toStdString(); }

bool TForm1::LoadPositionFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Dialogs().ShowMessage("Cannot read the position file " + path);
    return false;
  }
  std::string line;
  char c;
  while (line.size() < MAX_POSITION_LINE && in.get(c) && c != '\n') line += c;
  if (in.bad()) {
    Dialogs().ShowMessage("Cannot read the position file " + path);
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return TakePosition("The file " + path, line);
}

bool TForm1::SavePositionFile(const std::string& path) {
  // Written beside the old file and renamed over it: a failed write leaves the old one.
  QSaveFile file(QString::fromStdString(path));
  std::string text = Game.FileFen();
  if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) !=
                                               static_cast<qint64>(text.size()) ||
      !file.commit()) {
    Dialogs().ShowMessage("Cannot write the position file " + path + ": " + file.errorString().toStdString());
    return false;
  }
  return true;
}

bool TForm1::OpenPosition() {
  std::string name = POSITION_FILTER;
  if (!Dialogs().OpenFile(POSITION_FILTER, name)) return false;
  // Only a file that held a position becomes the one Save writes to.
  if (!LoadPositionFile(name)) return false;
  SetPositionFile(name);
  RefreshBoard();
  if (FormOpengl) FormOpengl->GivePositionToEngine();
  return true;
}

void TForm1::LoadPositionAndName() {
  if (OpenPosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + PositionFile);
}

bool TForm1::ChooseSaveFileName() {
  std::string name = PositionFile.empty() ? std::string(POSITION_FILTER) : PositionFile;
  if (!Dialogs().SaveFile(POSITION_FILTER, name) || name.empty()) return false;
  if (!HasFenExtension(name)) name += ".fen";
  SetPositionFile(name);
  return true;
}

void TForm1::SetPositionFile(const std::string& name) {
  PositionFile = name;
  const std::string naming = std::string(PROGRAM_CAPTION) + " ";
  if (FCaption.rfind(naming, 0) == 0) SetCaption(naming + name);
  if (FormOpengl && FormOpengl->windowTitle().startsWith(QString::fromStdString(naming)))
    FormOpengl->setWindowTitle(QString::fromStdString(naming + name));
}

bool TForm1::SavePosition() {
  if (PositionFile.empty() || SaveAsRequested) {
    SaveAsRequested = false;
    // A cancelled dialog saves nothing, not even under the name already known.
    if (!ChooseSaveFileName()) return false;
  }
  return SavePositionFile(PositionFile);
}

void TForm1::SavePositionAndName() {
  if (SavePosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + PositionFile);
}

void TForm1::SavePositionAs() {
  SaveAsRequested = true;
  SavePositionAndName();
}

void TForm1::CopyPosition() {
  ClipboardLine->clear();
  ClipboardLine->setText(QString::fromStdString(Game.ClipboardFen()));
  ClipboardLine->selectAll();
  ClipboardLine->copy();
}

void TForm1::PastePosition() {
  ClipboardLine->clear();
  ClipboardLine->paste();
  if (!TakePosition("The clipboard", ClipboardLine->text().toStdString())) return;
  RefreshBoard();
  if (FormOpengl) FormOpengl->GivePositionToEngine();
}

void TForm1::ExitProgram() { close(); }

void TForm1::PlayLight() {
  PlayLightItem->setChecked(true);
  PlayDarkItem->setChecked(false);
}

void TForm1::PlayDark() {
  PlayLightItem->setChecked(false);
  PlayDarkItem->setChecked(true);
}

TSide TForm1::UserSide() const { return PlayLightItem->isChecked() ? TSide::Light : TSide::Dark; }

void TForm1::SetSideChoiceEnabled(bool enabled) {
  PlayLightItem->setEnabled(enabled);
  PlayDarkItem->setEnabled(enabled);
}

TLookBoard TForm1::CheckedBoard() const {
  TLookBoard board;
  if (ArtisticItem->isChecked()) return board;
  board.Classic = true;
  for (int n = 1; n <= 5 && board.Picture == 0; ++n)
    if (ClassicPictureItems[n - 1]->isChecked()) board.Picture = n;
  return board;
}

void TForm1::CheckViewItems(bool classic, int picture) {
  ClassicItem->setChecked(classic);
  ClassicItem->setEnabled(true);
  for (int n = 1; n <= 5; ++n) ClassicPictureItems[n - 1]->setChecked(classic && n == picture);
  ArtisticItem->setChecked(!classic);
  ArtisticItem->setEnabled(classic);
}

void TForm1::SwitchToClassicBoard() {
  if (!FormOpengl || !FormOpengl->ShowClassicBoard()) return;
  FormOpengl->LoadLookFile(Folders.App + "/conf/classic1.bvl");
  CheckViewItems(true, 1);
  FormOpengl->SetBoardLookButtonsVisible(false);
}

void TForm1::ShowClassicPicture(int n) {
  if (!ClassicItem->isChecked()) SwitchToClassicBoard();
  for (int k = 1; k <= 5; ++k) ClassicPictureItems[k - 1]->setChecked(k == n);
  if (FormOpengl) FormOpengl->LoadLookFile(Folders.App + "/conf/classic" + std::to_string(n) + ".bvl");
}

void TForm1::SwitchToArtisticBoard() {
  if (!FormOpengl || !FormOpengl->LoadArtisticBoard()) return;
  CheckViewItems(false, 0);
  FormOpengl->SetBoardLookButtonsVisible(true);
}

void TForm1::ShowAbout() {
  if (FormOpengl) FormOpengl->ShowAboutBox();
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool closable = true;
  RunGuarded([this, &closable] { closable = !FormOpengl || FormOpengl->QuitBeforeClose([this] { close(); }); });
  if (closable)
    event->accept();
  else
    event->ignore();
}

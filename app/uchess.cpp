#include "app/uchess.h"

#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "FormSupport.h"
#include "app/Main.h"
#include "app/maindefine.h"
#include "app/utility.h"
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

// Takes FEN text from `where` ("The clipboard") as the shared position. A text without
// a placement, or a position no game can reach (a king that could be taken next), is
// reported in one message and changes nothing.
bool TakePosition(const std::string& where, const std::string& text) {
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
  BitBoards = board;
  GameRights = rights;
  return true;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  resize(623, 548);
  Edit1 = new QLineEdit(QStringLiteral("clipboard"), this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->hide();
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  BuildMenus();
  Timer1 = NamedTimer(this, "Timer1", 1);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
  maxmizeopengl = NamedTimer(this, "maxmizeopengl", 1000);
  connect(maxmizeopengl, &QTimer::timeout, this, Guarded([this] { maxmizeopenglTimer(); }));
  maxmizeopengl->start();
  Timer11 = NamedTimer(this, "Timer11", 1000);
  Timer22 = NamedTimer(this, "Timer22", 1000);
  FormCreate();
}

TForm1::~TForm1() {
  // The board window goes first, while the items it touches are still here.
  std::unique_ptr<QMdiSubWindow> frame(BoardFrame.data());
}

void TForm1::BuildMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  LoadPosition1 = MenuItem(File1, "LoadPosition1", "&Load Position...");
  Save1 = MenuItem(File1, "Save1", "&Save Position");
  SaveAs1 = MenuItem(File1, "SaveAs1", "Save Position &As...");
  Savepositiontoclipboard1 = MenuItem(File1, "Savepositiontoclipboard1", "C&opy Position to Clipboard");
  P1 = MenuItem(File1, "P1", "&Paste Position from Clipboard");
  File1->addSeparator();
  Close1 = MenuItem(File1, "Close1", "&Exit");

  Game1 = menuBar()->addMenu(QStringLiteral("&Game"));
  New2 = MenuItem(Game1, "New2", "&New");
  Game1->addSeparator();
  bianco_checked = MenuItem(Game1, "bianco_checked", "Move Ligth");
  nero_checked = MenuItem(Game1, "nero_checked", "Move Dark");
  bianco_checked->setCheckable(true);
  bianco_checked->setChecked(true);
  nero_checked->setCheckable(true);
  bianco_checked->setEnabled(false);
  nero_checked->setEnabled(false);

  View1 = menuBar()->addMenu(QStringLiteral("&View"));
  Classic1Menu = View1->addMenu(QStringLiteral("Classic"));
  Classic1 = Classic1Menu->menuAction();
  Classic1->setObjectName(QStringLiteral("Classic1"));
  Classic1->setCheckable(true);
  for (int n = 1; n <= 5; ++n) {
    std::string name = "N" + std::to_string(n);
    std::string caption = std::to_string(n);
    QAction* item = MenuItem(Classic1Menu, name.c_str(), caption.c_str());
    item->setCheckable(true);
    ClassicItems[n - 1] = item;
    OnClick(item, [this, n] { n == 1 ? N1Click() : ClassicItemClick(n); });
  }
  Artistic1 = MenuItem(View1, "Artistic1", "Artistic");
  Artistic1->setCheckable(true);
  Artistic1->setChecked(true);
  Artistic1->setEnabled(false);
  View1->setDefaultAction(Artistic1);

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  about2 = MenuItem(Help1, "about2", "About Brovanel...");
  about2->setVisible(false);

  OnClick(LoadPosition1, [this] { LoadPosition1Click(); });
  OnClick(Save1, [this] { Save1Click(); });
  OnClick(SaveAs1, [this] { SaveAs1Click(); });
  OnClick(Savepositiontoclipboard1, [this] { Savepositiontoclipboard1Click(); });
  OnClick(P1, [this] { P1Click(); });
  OnClick(Close1, [this] { Close1Click(); });
  OnClick(bianco_checked, [this] { bianco_checkedClick(); });
  OnClick(nero_checked, [this] { nero_checkedClick(); });
  OnClick(Artistic1, [this] { Artistic1Click(); });
  OnClick(about2, [this] { about2Click(); });
}

void TForm1::FormCreate() {
  EngineThinking = false;
  SetCaption(PROGRAM_CAPTION);
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Brovanel"));
  MouseState = -1;
  // The first argument names a look file (the board window loads it), never a
  // position: saving a position must not overwrite it.
  PositionFile.clear();
  // The screen's size also where no window manager maximises the window.
  if (const QScreen* display = screen()) resize(display->availableGeometry().size());
  setWindowState(windowState() | Qt::WindowMaximized);
  show();
  InitBoardState();
  Timer1->start();
  AppFolder = QCoreApplication::applicationDirPath().toStdString();
  EnginesFolder = AppFolder + "/res/engine";
  ModelsFolder = AppFolder + "/res/3ds/";
}

void TForm1::InitBoardState() {
  LoadFenPosition(START_POSITION_FEN);
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  about2->setVisible(true);
  SetStatusText("Use wheel mouse to set up board distance");
  MdiArea = new QMdiArea(this);
  MdiArea->setObjectName(QStringLiteral("MdiArea"));
  setCentralWidget(MdiArea);
  // At once, not one tick later as a new child of a shown window would be.
  MdiArea->show();
  auto* board = new TFormOpengl(this, "Brovanel Brovanel", 0);
  FormOpengl = board;
  // Always maximised in the area, and not closed on its own: the program ends with the
  // main window.
  BoardFrame = MdiArea->addSubWindow(board, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowMinMaxButtonsHint);
  BoardFrame->showMaximized();
  board->GLSceneViewer1->show();
}

void TForm1::maxmizeopenglTimer() {
  if (BoardFrame && !BoardFrame->isMaximized()) BoardFrame->showMaximized();
}

void TForm1::RefreshBoard() {
  if (FormOpengl) FormOpengl->RefreshPieces();
}

void TForm1::SetCaption(const std::string& text) {
  FCaption = text;
  setWindowTitle(QString::fromStdString(text));
}

void TForm1::SetStatusText(const std::string& text) { statusBar()->showMessage(QString::fromStdString(text)); }

std::string TForm1::StatusText() const { return statusBar()->currentMessage().toStdString(); }

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
  std::string text = FenFileText(BitBoards, GameRights);
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

void TForm1::LoadPosition1Click() {
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

void TForm1::Save1Click() {
  if (SavePosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + PositionFile);
}

void TForm1::SaveAs1Click() {
  SaveAsRequested = true;
  Save1Click();
}

void TForm1::Savepositiontoclipboard1Click() {
  Edit1->clear();
  Edit1->setText(QString::fromStdString(FenClipboardText(BitBoards, GameRights)));
  Edit1->selectAll();
  Edit1->copy();
}

void TForm1::P1Click() {
  Edit1->clear();
  Edit1->paste();
  if (!TakePosition("The clipboard", Edit1->text().toStdString())) return;
  RefreshBoard();
  if (FormOpengl) FormOpengl->GivePositionToEngine();
}

void TForm1::Close1Click() { close(); }

void TForm1::bianco_checkedClick() {
  bianco_checked->setChecked(true);
  nero_checked->setChecked(false);
}

void TForm1::nero_checkedClick() {
  bianco_checked->setChecked(false);
  nero_checked->setChecked(true);
}

int TForm1::UserSide() const { return bianco_checked->isChecked() ? LIGHT_SIDE : DARK_SIDE; }

void TForm1::CheckViewItems(bool classic, int picture) {
  Classic1->setChecked(classic);
  Classic1->setEnabled(true);
  for (int n = 1; n <= 5; ++n) ClassicItems[n - 1]->setChecked(classic && n == picture);
  Artistic1->setChecked(!classic);
  Artistic1->setEnabled(classic);
}

void TForm1::N1Click() {
  if (!FormOpengl || !FormOpengl->ShowClassicBoard()) return;
  FormOpengl->LoadLookFile(AppFolder + "/conf/classic1.bvl");
  CheckViewItems(true, 1);
  FormOpengl->SetBoardLookButtonsVisible(false);
}

void TForm1::ClassicItemClick(int n) {
  if (!Classic1->isChecked()) N1Click();
  for (int k = 1; k <= 5; ++k) ClassicItems[k - 1]->setChecked(k == n);
  if (FormOpengl) FormOpengl->LoadLookFile(AppFolder + "/conf/classic" + std::to_string(n) + ".bvl");
}

void TForm1::Artistic1Click() {
  if (!FormOpengl || !FormOpengl->LoadArtisticBoard()) return;
  CheckViewItems(false, 0);
  FormOpengl->SetBoardLookButtonsVisible(true);
}

void TForm1::about2Click() {
  if (FormOpengl) FormOpengl->ShowAboutBox();
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool closable = true;
  RunGuarded([this, &closable] { closable = !FormOpengl || FormOpengl->FormCloseQuery([this] { close(); }); });
  if (closable)
    event->accept();
  else
    event->ignore();
}

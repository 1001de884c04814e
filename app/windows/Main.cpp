#include "app/windows/Main.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "FormSupport.h"
#include "scene/GLCadencer.h"
#include "scene/GLCamera.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLQuadrics.h"
#include "app/game/maindefine.h"
#include "app/windows/uhelp.h"

TFormOpengl::TFormOpengl(TBoardOwner* owner, TGame& game, TProgramFolders& folders)
    : QWidget(nullptr), TBoardScene(folders), Owner(owner), Game(game), Folders(folders), Slides(*this, game, *this) {
  setObjectName(QStringLiteral("FormOpengl"));
  resize(901, 474);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildToolBar();
  ConnectToolButtons();
  layout->addWidget(ToolBar);

  Pages = new QTabWidget(this);
  Pages->setObjectName(QStringLiteral("PageControl1"));
  BoardPage = new QWidget;
  BoardPage->setObjectName(QStringLiteral("TabSheet1"));
  auto* boardPage = new QVBoxLayout(BoardPage);
  boardPage->setContentsMargins(0, 0, 0, 0);
  BuildBoardView(BoardPage);
  boardPage->addWidget(BoardView);
  Pages->addTab(BoardPage, QStringLiteral("Board"));
  EnginesPage = BuildEnginePage();
  Pages->addTab(EnginesPage, QStringLiteral("Winboard Engines"));
  layout->addWidget(Pages, 1);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar->setSizeGripEnabled(false);
  layout->addWidget(StatusBar);

  EngineWatchTimer = NamedTimer(this, "checkloadengine", 1000);
  connect(EngineWatchTimer, &QTimer::timeout, this, Guarded([this] { WatchEngine(); }));
  FirstPiecesTimer = NamedTimer(this, "fillpiecestimer", 1);
  connect(FirstPiecesTimer, &QTimer::timeout, this, Guarded([this] { PlaceFirstPieces(); }));
  EngineSlideTimer = NamedTimer(this, "movepezzo", 1);
  connect(EngineSlideTimer, &QTimer::timeout, this, Guarded([this] { Slides.StepEngineSlide(); }));
  CastleRookSlideTimer = NamedTimer(this, "movepezzoarrocco", 1);
  connect(CastleRookSlideTimer, &QTimer::timeout, this, Guarded([this] { Slides.StepCastleRookSlide(); }));
  UserVictimSlideTimer = NamedTimer(this, "mangiapezzotimer", 1);
  connect(UserVictimSlideTimer, &QTimer::timeout, this, Guarded([this] { Slides.StepUserVictimSlide(); }));

  // Made disabled: it ticks, as fast as it can, only while a mouse button is held.
  OrbitCadencer = std::make_unique<TGLCadencer>(nullptr);
  OrbitCadencer->SetName("GLCadencer1");
  OrbitCadencer->SetEnabled(false);
  OrbitCadencer->SetScene(SceneTree.get());
  OrbitCadencer->OnProgress = [this](TObject*, double, double) { OrbitCamera(); };
  StartUp();
}

TFormOpengl::~TFormOpengl() {
  // What is still running is stopped here, each step within its bounded wait.
  EngineObj.reset();
  FQuitting.clear();
  OrbitCadencer.reset();
  // The view and its rendering context go before the scene it draws.
  delete BoardView;
  BoardView = nullptr;
}

void TFormOpengl::BuildBoardView(QWidget* page) {
  BoardView = new TGLSceneViewer(page);
  BoardView->setObjectName(QStringLiteral("GLSceneViewer1"));
  AttachViewer(BoardView->Buffer());
  // Its first paint places the first pieces if their tick has not come yet.
  BoardView->installEventFilter(this);
  BoardView->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    RunGuarded([&] { PressOnBoard(sender, button, shift, x, y); });
  };
  BoardView->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
    RunGuarded([&] { DragOnBoard(sender, shift, x, y); });
  };
  BoardView->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    RunGuarded([&] { ReleaseOnBoard(sender, button, shift, x, y); });
  };
}

void TFormOpengl::BuildToolBar() {
  ToolBar = new QToolBar(this);
  ToolBar->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar->setIconSize(QSize(24, 24));
  ToolBar->setMovable(false);
  QAction** buttons[] = {&OpenLookButton,          &SaveLookButton,          &LightPieceColourButton,
                         &DarkPieceColourButton,   &LightPieceTextureButton, &DarkPieceTextureButton,
                         &BackgroundColourButton,  &LightBoardTextureButton, &DarkBoardTextureButton,
                         &DarkBoardColourButton,   &LightBoardColourButton,  &LoadPositionButton,
                         &SavePositionButton,      &NewMatchButton};
  std::size_t next = 0;
  for (const TToolButtonInfo& info : TOOL_BUTTONS) {
    if (!info.Name) {
      ToolBar->addSeparator();
      continue;
    }
    QIcon icon(ToQString(Folders.App + "/res/toolbar/" + info.Icon + ".png"));
    QAction* button = ToolBar->addAction(icon, QString::fromLatin1(info.Hint));
    button->setObjectName(QString::fromLatin1(info.Name));
    button->setToolTip(QString::fromLatin1(info.Hint));
    button->setStatusTip(QString::fromLatin1(info.Hint));
    *buttons[next++] = button;
  }
}

void TFormOpengl::StartUp() {
  // First: a message box shown below runs the event loop, which may draw the board.
  Camera->SetFocalLength(105);
  EngineCaption = NO_ENGINE_CAPTION;
  SetCaption(EngineCaption);
  StartFolder = QDir::currentPath().toStdString();
  PieceNameCounter = 0;
  Drag.HeldPiece = nullptr;
  BoardView->move(0, 0);
  QDir::setCurrent(ToQString(Folders.App));
  // No engine is loaded: the user may choose a side.
  SetEngineSideItemsEnabled(true);
  // The pieces go to their squares one tick later.
  if (LoadClassicPieces()) FirstPiecesTimer->start();
  const QStringList arguments = QCoreApplication::arguments();
  QString lookFile = arguments.size() > 1 ? arguments[1] : QString();
  // A relative name is the user's, from where the program was started.
  if (!lookFile.isEmpty()) {
    const QString path = QDir(ToQString(StartFolder)).absoluteFilePath(lookFile);
    // A look file that is not there changes nothing when it is opened; one the user
    // named to start with is reported.
    if (!QFileInfo::exists(path)) Dialogs().ShowMessage(START_LOOK_NOT_FOUND_TEXT + path.toStdString());
    LoadStartLook(path.toStdString());
  } else {
    LoadArtisticBoard();
  }
}

bool TFormOpengl::QuitBeforeClose(std::function<void()> whenClosable) {
  QuitEngine();
  if (FQuitting.empty()) return true;
  FWhenClosable = std::move(whenClosable);
  return false;
}

void TFormOpengl::ShowAboutBox() {
  TOKRightDlg dialog(Folders.App);
  dialog.exec();
}

void TFormOpengl::SetCaption(const std::string& text) { setWindowTitle(ToQString(text)); }

void TFormOpengl::SetBoardLookButtonsVisible(bool visible) {
  for (QAction* button : {LightBoardTextureButton, DarkBoardTextureButton, LightBoardColourButton, DarkBoardColourButton})
    button->setVisible(visible);
}

bool TFormOpengl::ShowClassicBoard() {
  TBoardScene::ShowClassicBoard();
  SetBoardLookButtonsVisible(true);
  return true;
}

bool TFormOpengl::ShowBoardOfLook(const std::string& path) {
  const std::optional<TLookBoard> board = LookFileBoard(path);
  if (!board) return false;
  if (board->Classic) {
    const bool classicShown = LightBoardMesh == nullptr && Owner && Owner->ClassicBoardChecked();
    if (!classicShown) {
      ShowClassicBoard();
      SetBoardLookButtonsVisible(false);
    }
    // A look saved without a picture keeps the one shown, and its item.
    if (Owner && (!classicShown || board->Picture != 0)) Owner->CheckViewItems(true, board->Picture);
  } else if (!LightBoardMesh && LoadArtisticBoard() && Owner) {
    Owner->CheckViewItems(false, 0);
  }
  return true;
}

bool TFormOpengl::LoadArtisticBoard() {
  if (!ArtisticBoardFilesPresent()) return false;
  // A half the reader refuses is reported and the board shown stays as it is.
  if (!BuildArtisticBoard()) return false;
  DropMarker->SetVisible(false);
  ClassicBoard->SetVisible(false);
  SetBoardLookButtonsVisible(true);
  LoadLookFile(Folders.App + "/conf/artistic1.bvl");
  return true;
}

void TFormOpengl::AppendEngineOutput(const std::string& text) {
  // The line ends of engines built for Windows go.
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.remove(QLatin1Char('\r'));
  if (shown.isEmpty()) return;
  // A line that arrived in two pieces is shown as one: the first goes on with the last
  // line shown, which had not ended.
  if (FReceivedLineOpen) {
    const qsizetype end = shown.indexOf(QLatin1Char('\n'));
    QTextCursor last(ReceivedMemo->document());
    last.movePosition(QTextCursor::End);
    last.insertText(shown.left(end));
    shown = end < 0 ? QString() : shown.mid(end + 1);
    FReceivedLineOpen = end < 0;
    if (shown.isEmpty()) return;
  }
  FReceivedLineOpen = !shown.endsWith(QLatin1Char('\n'));
  if (!FReceivedLineOpen) shown.chop(1);
  ReceivedMemo->appendPlainText(shown);
}

void TFormOpengl::AppendSentCommand(const std::string& text) { SentMemo->appendPlainText(ToQString(text)); }

void TFormOpengl::AppendEngineNote(const std::string& text) {
  // On a line of its own, also when the engine's last line has not ended yet.
  ReceivedMemo->appendPlainText(ToQString(text));
  FReceivedLineOpen = false;
}

void TFormOpengl::ShowEngineStatus(const std::string& text) {
  FEngineStatusShown = true;
  if (Owner) Owner->SetStatusText(text);
}

void TFormOpengl::ShowEngineNotice(const std::string& text) {
  FEngineStatusShown = false;
  if (Owner) Owner->SetStatusText(text);
}

std::string TFormOpengl::GameStateText() const {
  if (EngineObj && EngineObj->IsConnected() && !EngineObj->HasStarted()) return ENGINE_STARTING_TEXT;
  const TSide toMove = Game.SideToMove();
  switch (Game.EndFor(toMove)) {
    case TGameEnd::Checkmate:
      return std::string(CHECKMATE_TEXT) + SideName(OtherSide(toMove)) + " wins";
    case TGameEnd::Stalemate:
      return STALEMATE_TEXT;
    case TGameEnd::None:
      break;
  }
  return Game.EngineThinking() ? THINKING_TEXT : YOUR_MOVE_TEXT;
}

void TFormOpengl::ShowGameState() {
  FEngineStatusShown = false;
  if (Owner) Owner->SetStatusText(GameStateText());
}

bool TFormOpengl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EngineChoicePage && event->type() == QEvent::Show) RunGuarded([this] { ListEngines(); });
  // The first frame shows the pieces on their squares, however late their tick.
  if (watched == BoardView && event->type() == QEvent::Paint && FirstPiecesTimer)
    RunGuarded([this] { PlaceFirstPieces(); });
  return QWidget::eventFilter(watched, event);
}

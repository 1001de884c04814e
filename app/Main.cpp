#include "app/Main.h"

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
#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/uhelp.h"

TFormOpengl::TFormOpengl(TForm1* owner, const std::string&, int) : QWidget(nullptr), MainForm(owner) {
  setObjectName(QStringLiteral("FormOpengl"));
  resize(901, 474);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildToolBar();
  ConnectToolButtons();
  layout->addWidget(ToolBar1);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  auto* boardPage = new QVBoxLayout(TabSheet1);
  boardPage->setContentsMargins(0, 0, 0, 0);
  BuildBoardView(TabSheet1);
  boardPage->addWidget(GLSceneViewer1);
  PageControl1->addTab(TabSheet1, QStringLiteral("Board"));
  TabSheet2 = BuildEnginePage();
  PageControl1->addTab(TabSheet2, QStringLiteral("Winboard Engines"));
  layout->addWidget(PageControl1, 1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  layout->addWidget(StatusBar1);

  checkloadengine = NamedTimer(this, "checkloadengine", 1000);
  connect(checkloadengine, &QTimer::timeout, this, Guarded([this] { checkloadengineTimer(); }));
  fillpiecestimer = NamedTimer(this, "fillpiecestimer", 1);
  connect(fillpiecestimer, &QTimer::timeout, this, Guarded([this] { Fillpieces(); }));
  movepezzo = NamedTimer(this, "movepezzo", 1);
  connect(movepezzo, &QTimer::timeout, this, Guarded([this] { movepezzoTimer(); }));
  movepezzoarrocco = NamedTimer(this, "movepezzoarrocco", 1);
  connect(movepezzoarrocco, &QTimer::timeout, this, Guarded([this] { movepezzoarroccoTimer(); }));
  mangiapezzotimer = NamedTimer(this, "mangiapezzotimer", 1);
  connect(mangiapezzotimer, &QTimer::timeout, this, Guarded([this] { mangiapezzomoveTimer(); }));

  // Made disabled: it ticks, as fast as it can, only while a mouse button is held.
  GLCadencer1 = std::make_unique<TGLCadencer>(nullptr);
  GLCadencer1->SetName("GLCadencer1");
  GLCadencer1->SetEnabled(false);
  GLCadencer1->SetScene(GLScene1.get());
  GLCadencer1->OnProgress = [this](TObject* sender, double deltaTime, double newTime) {
    GLCadencer1Progress(sender, deltaTime, newTime);
  };
  FormCreate();
}

TFormOpengl::~TFormOpengl() {
  // What is still running is stopped here, each step within its bounded wait.
  EngineObj.reset();
  FQuitting.clear();
  GLCadencer1.reset();
  // The view and its rendering context go before the scene it draws.
  delete GLSceneViewer1;
  GLSceneViewer1 = nullptr;
}

void TFormOpengl::BuildBoardView(QWidget* page) {
  GLSceneViewer1 = new TGLSceneViewer(page);
  GLSceneViewer1->setObjectName(QStringLiteral("GLSceneViewer1"));
  AttachViewer(GLSceneViewer1->Buffer());
  GLSceneViewer1->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    RunGuarded([&] { GLSceneViewer1MouseDown(sender, button, shift, x, y); });
  };
  GLSceneViewer1->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
    RunGuarded([&] { GLSceneViewer1MouseMove(sender, shift, x, y); });
  };
  GLSceneViewer1->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    RunGuarded([&] { GLSceneViewer1MouseUp(sender, button, shift, x, y); });
  };
}

void TFormOpengl::BuildToolBar() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setIconSize(QSize(24, 24));
  ToolBar1->setMovable(false);
  QAction** buttons[] = {&ToolButton25, &ToolButton23, &ToolButton6,  &ToolButton7,  &ToolButton1,
                       &ToolButton2,  &ToolButton4,  &ToolButton30, &ToolButton31, &ToolButton35,
                       &ToolButton34, &ToolButton9,  &ToolButton11, &ToolButton12};
  std::size_t next = 0;
  for (const TToolButtonInfo& info : TOOL_BUTTONS) {
    if (!info.Name) {
      ToolBar1->addSeparator();
      continue;
    }
    QIcon icon(ToQString(AppFolder + "/res/toolbar/" + info.Icon + ".png"));
    QAction* button = ToolBar1->addAction(icon, QString::fromLatin1(info.Hint));
    button->setObjectName(QString::fromLatin1(info.Name));
    button->setToolTip(QString::fromLatin1(info.Hint));
    button->setStatusTip(QString::fromLatin1(info.Hint));
    *buttons[next++] = button;
  }
}

void TFormOpengl::FormCreate() {
  EngineCaption = NO_ENGINE_CAPTION;
  SetCaption(EngineCaption);
  StartFolder = QDir::currentPath().toStdString();
  PieceNameCounter = 0;
  HeldPiece = nullptr;
  GLSceneViewer1->move(0, 0);
  QDir::setCurrent(ToQString(AppFolder));
  // No engine is loaded: the user may choose a side.
  SetEngineSideItemsEnabled(true);
  // The pieces go to their squares one tick later.
  if (LoadClassicPieces()) fillpiecestimer->start();
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
  GLCamera1->SetFocalLength(105);
}

bool TFormOpengl::FormCloseQuery(std::function<void()> whenClosable) {
  QuitEngine();
  if (FQuitting.empty()) return true;
  FWhenClosable = std::move(whenClosable);
  return false;
}

void TFormOpengl::ShowAboutBox() {
  TOKRightDlg dialog;
  dialog.exec();
}

void TFormOpengl::SetCaption(const std::string& text) { setWindowTitle(ToQString(text)); }

void TFormOpengl::SetBoardLookButtonsVisible(bool visible) {
  for (QAction* button : {ToolButton30, ToolButton31, ToolButton34, ToolButton35}) button->setVisible(visible);
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
    const bool classicShown = LightBoardMesh == nullptr && MainForm && MainForm->Classic1->isChecked();
    if (!classicShown) {
      ShowClassicBoard();
      SetBoardLookButtonsVisible(false);
    }
    // A look saved without a picture keeps the one shown, and its item.
    if (MainForm && (!classicShown || board->Picture != 0)) MainForm->CheckViewItems(true, board->Picture);
  } else if (!LightBoardMesh && LoadArtisticBoard() && MainForm) {
    MainForm->CheckViewItems(false, 0);
  }
  return true;
}

bool TFormOpengl::LoadArtisticBoard() {
  if (!ArtisticBoardFilesPresent()) return false;
  // A half the reader refuses is reported and the board shown stays as it is.
  if (!BuildArtisticBoard()) return false;
  sphere1->SetVisible(false);
  HeightField1->SetVisible(false);
  SetBoardLookButtonsVisible(true);
  LoadLookFile(AppFolder + "/conf/artistic1.bvl");
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
    QTextCursor last(Memoinput1->document());
    last.movePosition(QTextCursor::End);
    last.insertText(shown.left(end));
    shown = end < 0 ? QString() : shown.mid(end + 1);
    FReceivedLineOpen = end < 0;
    if (shown.isEmpty()) return;
  }
  FReceivedLineOpen = !shown.endsWith(QLatin1Char('\n'));
  if (!FReceivedLineOpen) shown.chop(1);
  Memoinput1->appendPlainText(shown);
}

void TFormOpengl::AppendSentCommand(const std::string& text) { Memoout->appendPlainText(ToQString(text)); }

void TFormOpengl::ShowEngineStatus(const std::string& text) {
  if (MainForm) MainForm->SetStatusText(text);
}

bool TFormOpengl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TabSheet4 && event->type() == QEvent::Show) RunGuarded([this] { TabSheet4Show(); });
  return QWidget::eventFilter(watched, event);
}

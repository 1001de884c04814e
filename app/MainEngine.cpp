// The board window's page "Winboard Engines": the list of engines found in the
// engines folder and its sub-folders or added by hand, loading and unloading one, and
// the lines exchanged with it.

#include "app/Main.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "FormSupport.h"
#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/utility.h"
#include "base/Strings.h"

namespace fs = std::filesystem;

namespace {

constexpr char PLEASE_SELECT_TEXT[] = "Please select an engine";
constexpr char FILE_NOT_FOUND_TEXT[] = "File not found: ";
constexpr char NO_ENGINE_ERROR_TEXT[] = "error NO CHESS ENGINE LOADED";
constexpr char WHAT_TEXT[] = "     What ?     ";

// The names of the entries of `folder` that `wanted` accepts, in name order; none
// when the folder cannot be read.
std::vector<std::string> EntriesOf(const std::string& folder, bool (*wanted)(const fs::directory_entry&)) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (wanted(*it)) names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A program: a regular file (or a link to one) that we may execute.
bool IsProgram(const fs::directory_entry& entry) {
  std::error_code error;
  return entry.is_regular_file(error) && ::access(entry.path().c_str(), X_OK) == 0;
}

bool IsFolder(const fs::directory_entry& entry) {
  std::error_code error;
  return entry.is_directory(error);
}

QPushButton* NamedButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QPlainTextEdit* NamedMemo(QWidget* parent, const char* name) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(QString::fromLatin1(name));
  memo->setReadOnly(true);
  // A chatty engine must not grow the memory without end: the oldest lines go.
  memo->setMaximumBlockCount(TFormOpengl::MEMO_MAX_LINES);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

}  // namespace

QWidget* TFormOpengl::BuildEnginePage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet2"));
  auto* pageLayout = new QVBoxLayout(page);
  PageControl2 = new QTabWidget(page);
  PageControl2->setObjectName(QStringLiteral("PageControl2"));
  pageLayout->addWidget(PageControl2);

  TabSheet4 = new QWidget;
  TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
  auto* choice = new QGridLayout(TabSheet4);
  BitBtn1 = NamedButton(TabSheet4, "BitBtn1", "Chose Engine");
  engineedit = new QLineEdit(TabSheet4);
  engineedit->setObjectName(QStringLiteral("engineedit"));
  parameter = new QLineEdit(TabSheet4);
  parameter->setObjectName(QStringLiteral("parameter"));
  BitBtn3 = NamedButton(TabSheet4, "BitBtn3", "Add");
  choice->addWidget(BitBtn1, 0, 0);
  choice->addWidget(new QLabel(QStringLiteral("Parameter"), TabSheet4), 0, 1);
  choice->addWidget(engineedit, 0, 2);
  choice->addWidget(new QLabel(QStringLiteral("Parameters"), TabSheet4), 1, 1);
  choice->addWidget(parameter, 1, 2);
  choice->addWidget(BitBtn3, 1, 3);
  enginelist = new QListWidget(TabSheet4);
  enginelist->setObjectName(QStringLiteral("enginelist"));
  parengine = new QListWidget(TabSheet4);
  parengine->setObjectName(QStringLiteral("parengine"));
  DirectoryListBox1 = new QListWidget(TabSheet4);
  DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
  auto* lists = new QHBoxLayout;
  lists->addWidget(enginelist, 3);
  lists->addWidget(parengine, 1);
  lists->addWidget(DirectoryListBox1, 2);
  choice->addLayout(lists, 2, 0, 1, 4);
  choice->setRowStretch(2, 1);
  choice->setColumnStretch(2, 1);
  BitBtn2 = NamedButton(TabSheet4, "BitBtn2", "Load Engine");
  BitBtn2->setEnabled(false);
  unload = NamedButton(TabSheet4, "unload", "Unload Engine");
  unload->hide();
  auto* loading = new QHBoxLayout;
  loading->addWidget(BitBtn2);
  loading->addWidget(unload);
  loading->addStretch(1);
  choice->addLayout(loading, 3, 0, 1, 4);
  PageControl2->addTab(TabSheet4, QStringLiteral("Engines"));

  TabSheet3 = new QWidget;
  TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
  auto* exchange = new QVBoxLayout(TabSheet3);
  Memoinput1 = NamedMemo(TabSheet3, "Memoinput1");
  QFont received = Memoinput1->font();
  received.setPixelSize(16);
  Memoinput1->setFont(received);
  Memoout = NamedMemo(TabSheet3, "Memoout");
  edit1 = new QComboBox(TabSheet3);
  edit1->setObjectName(QStringLiteral("edit1"));
  edit1->setEditable(true);
  // The history grows only by the lines sent, without repeats.
  edit1->setInsertPolicy(QComboBox::NoInsert);
  edit1->setEnabled(false);
  send = NamedButton(TabSheet3, "send", "Send to Engine");
  send->setEnabled(false);
  label5 = new QLabel(TabSheet3);
  label5->setObjectName(QStringLiteral("label5"));
  // It shows the engine's path, which may hold anything.
  label5->setTextFormat(Qt::PlainText);
  QFont heavy(QStringLiteral("Arial Black"));
  heavy.setWeight(QFont::Black);
  label5->setFont(heavy);
  exchange->addWidget(new QLabel(QStringLiteral("Received:"), TabSheet3));
  exchange->addWidget(Memoinput1, 3);
  exchange->addWidget(new QLabel(QStringLiteral("Sended:"), TabSheet3));
  exchange->addWidget(Memoout, 1);
  exchange->addWidget(new QLabel(QStringLiteral("Winboard command:"), TabSheet3));
  auto* command = new QHBoxLayout;
  command->addWidget(edit1, 1);
  command->addWidget(send);
  exchange->addLayout(command);
  exchange->addWidget(label5);
  PageControl2->addTab(TabSheet3, QStringLiteral("Select"));

  TabSheet4->installEventFilter(this);
  connect(DirectoryListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    std::string folder = item->data(Qt::UserRole).toString().toStdString();
    RunGuarded([this, folder] { DirectoryListBox1Change(folder); });
  });
  connect(BitBtn1, &QPushButton::clicked, this, Guarded([this] { BitBtn1Click(); }));
  connect(BitBtn3, &QPushButton::clicked, this, Guarded([this] { BitBtn3Click(); }));
  connect(BitBtn2, &QPushButton::clicked, this, Guarded([this] { BitBtn2Click(); }));
  connect(enginelist, &QListWidget::itemDoubleClicked, this, Guarded([this] { enginelistDblClick(); }));
  connect(unload, &QPushButton::clicked, this, Guarded([this] { unloadClick(); }));
  connect(send, &QPushButton::clicked, this, Guarded([this] { sendClick(); }));
  return page;
}

void TFormOpengl::PointDirectoryList(const std::string& folder) {
  // The folder itself, its parent and its sub-folders; activating one chooses it.
  DirectoryListBox1->clear();
  auto add = [this](const QString& text, const std::string& path) {
    auto* item = new QListWidgetItem(text, DirectoryListBox1);
    item->setData(Qt::UserRole, ToQString(path));
  };
  add(ToQString(folder), folder);
  fs::path parent = fs::path(folder).lexically_normal().parent_path();
  if (!parent.empty() && parent != fs::path(folder)) add(QStringLiteral(".."), parent.string());
  for (const std::string& name : EntriesOf(folder, IsFolder)) add(ToQString(name), JoinPath(folder, name));
  DirectoryListBox1->setCurrentRow(0);
}

void TFormOpengl::ScanEngineFolder(const std::string& folder) {
  for (const std::string& name : EntriesOf(folder, IsProgram)) {
    enginelist->addItem(ToQString(JoinPath(folder, name)));
    parengine->addItem(QString());
  }
}

void TFormOpengl::ScanEngineFolders() {
  ScanEngineFolder(EnginesFolder);
  // One level of sub-folders, no deeper.
  for (const std::string& name : EntriesOf(EnginesFolder, IsFolder)) ScanEngineFolder(JoinPath(EnginesFolder, name));
}

void TFormOpengl::TabSheet4Show() {
  enginelist->clear();
  parengine->clear();
  ScanEngineFolders();
  BitBtn2->setEnabled(true);
  PointDirectoryList(EnginesFolder);
}

void TFormOpengl::DirectoryListBox1Change(const std::string& folder) {
  EnginesFolder = folder;
  enginelist->clear();
  parengine->clear();
  ScanEngineFolders();
  BitBtn2->setEnabled(true);
  PointDirectoryList(EnginesFolder);
}

void TFormOpengl::BitBtn1Click() {
  std::string path = EnginesFolder;
  if (!Dialogs().OpenFile(std::string(), path)) return;
  engineedit->setText(ToQString(path));
  if (MainForm) MainForm->SetStatusText("Insert optionl parameter and clic on Load Engine button");
}

void TFormOpengl::BitBtn3Click() {
  QString path = engineedit->text().trimmed();
  if (path.isEmpty()) return;
  enginelist->addItem(path);
  parengine->addItem(parameter->text());
  BitBtn2->setEnabled(true);
  engineedit->clear();
  parameter->clear();
}

int TFormOpengl::SelectedEngineIndex() const {
  for (int i = 0; i < enginelist->count(); ++i)
    if (enginelist->item(i)->isSelected()) return i;
  return -1;
}

void TFormOpengl::BitBtn2Click() { LoadEngine(std::string(), std::string()); }

void TFormOpengl::enginelistDblClick() { LoadEngine(std::string(), std::string()); }

void TFormOpengl::LoadEngine(const std::string& enginePath, const std::string& engineParameters) {
  std::string path = enginePath;
  std::string parameters = engineParameters;
  EngineThinking = false;
  if (path.empty()) {
    int i = SelectedEngineIndex();
    if (i < 0) {
      Dialogs().ShowMessage(PLEASE_SELECT_TEXT);
      return;
    }
    path = enginelist->item(i)->text().toStdString();
    std::error_code error;
    if (!fs::exists(path, error)) {
      Dialogs().ShowMessage(FILE_NOT_FOUND_TEXT + path);
      return;
    }
    parameters = i < parengine->count() ? parengine->item(i)->text().toStdString() : std::string();
  }
  QuitEngine();
  Memoinput1->clear();
  FReceivedLineOpen = false;
  Memoout->clear();
  QFont small = Memoinput1->font();
  small.setPointSize(8);
  Memoinput1->setFont(small);

  bool enginePlaysLight = MainForm && MainForm->nero_checked->isChecked();
  TDispatcher dispatch = [this](std::function<void()> work) {
    QMetaObject::invokeMethod(this, [work = std::move(work)] { RunGuarded(work); }, Qt::QueuedConnection);
  };
  TScheduler schedule = [this](std::chrono::milliseconds delay, std::function<void()> work) {
    // Precise: a coarse timer may fire a long wait up to 5 % early.
    QTimer::singleShot(delay, Qt::PreciseTimer, this, [work = std::move(work)] { RunGuarded(work); });
  };
  // Locked until the engine has had its opening commands and, when it plays light,
  // until its first move has been shown.
  EngineThinking = true;
  // The opening commands start a new game (and one playing light moves at once from
  // the start): a game on the board is given up, and the user is told so.
  const bool newGame = FenClipboardText(BitBoards, GameRights) != START_POSITION_FEN;
  auto onReady = [this, enginePlaysLight, newGame] {
    EngineThinking = enginePlaysLight;
    if (MainForm) MainForm->SetStatusText(newGame ? std::string("Ready. ") + ENGINE_NEW_GAME_TEXT : "Ready");
  };
  EngineObj = tloadengine::Start(path, parameters, this, enginePlaysLight, std::move(dispatch), std::move(schedule),
                                 std::move(onReady), EngineDelays);
  if (!EngineObj) {
    // Reported by the start; the engine before it, if any, is gone too.
    EngineThinking = false;
    unloadClick();
    return;
  }
  // The engine's features tell how it takes a position (EngineRefusesSetBoard).
  EngineObj->SendCommand("protover 2");
  EngineEditsPositions = false;
  LoadFenPosition(START_POSITION_FEN);
  EngineAwaitsGo = false;
  if (MainForm) MainForm->RefreshBoard();
  if (MainForm && newGame) MainForm->SetStatusText(ENGINE_NEW_GAME_TEXT);

  EngineCaption = fs::path(path).filename().string();
  SetCaption(HOST_ENGINE_CAPTION + EngineCaption);
  checkloadengine->start();
  unload->show();
  unload->setFixedWidth(15 * static_cast<int>(EngineCaption.size()));
  unload->setText(ToQString("Unload " + EngineCaption + " "));
  send->setEnabled(true);
  edit1->setEnabled(true);
  label5->setText(ToQString(path));
  PageControl2->setCurrentWidget(TabSheet3);
  SetEngineSideItemsEnabled(false);
}

void TFormOpengl::QuitEngine() {
  // Nothing it would still say belongs to the game on the board.
  FUserMoveSent.reset();
  FRefusedWithGo.reset();
  if (!EngineObj) return;
  Retire(std::move(EngineObj));
  EngineCaption = PROGRAM_CAPTION;
  SetCaption(std::string(HOST_ENGINE_CAPTION) + PROGRAM_CAPTION);
}

void TFormOpengl::Retire(std::unique_ptr<tloadengine> engine) {
  tloadengine* quitting = engine.get();
  FQuitting.push_back(std::move(engine));
  // Freed from the event loop, not from inside its own quit.
  quitting->BeginQuit([this, quitting] {
    QMetaObject::invokeMethod(this, [this, quitting] { RunGuarded([this, quitting] { EngineGone(quitting); }); },
                              Qt::QueuedConnection);
  });
}

void TFormOpengl::EngineGone(tloadengine* engine) {
  auto found = std::find_if(FQuitting.begin(), FQuitting.end(),
                            [engine](const std::unique_ptr<tloadengine>& quitting) { return quitting.get() == engine; });
  if (found == FQuitting.end()) return;
  std::unique_ptr<tloadengine> gone = std::move(*found);
  FQuitting.erase(found);
  gone.reset();
  if (FQuitting.empty() && FWhenClosable) {
    std::function<void()> whenClosable = std::move(FWhenClosable);
    FWhenClosable = nullptr;
    whenClosable();
  }
}

void TFormOpengl::unloadClick() {
  checkloadengine->stop();
  unload->hide();
  send->setEnabled(false);
  edit1->setEnabled(false);
  QuitEngine();
  label5->clear();
  SetEngineSideItemsEnabled(true);
}

void TFormOpengl::checkloadengineTimer() {
  // The reader saw the engine's output end, or a write to it failed: the page shows
  // that no engine is loaded, as after Unload, so that nothing waits for the engine.
  if (!EngineObj || EngineObj->IsConnected()) return;
  unloadClick();
}

std::size_t TFormOpengl::SendToEngine(const std::string& text) { return EngineObj ? EngineObj->SendCommand(text) : 0; }

void TFormOpengl::sendClick() {
  QString text = edit1->currentText().trimmed();
  edit1->setEditText(text);
  if (!EngineObj) {
    Dialogs().ShowMessage(NO_ENGINE_ERROR_TEXT);
    return;
  }
  if (text.isEmpty()) {
    Dialogs().ShowMessage(WHAT_TEXT);
    return;
  }
  if (EngineObj->SendCommand(text.toStdString()) == 0) ReportEngineWriteError(*EngineObj);
  if (edit1->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) edit1->addItem(text);
}

void TFormOpengl::SetEngineSideItemsEnabled(bool enabled) {
  if (!MainForm) return;
  MainForm->bianco_checked->setEnabled(enabled);
  MainForm->nero_checked->setEnabled(enabled);
}

// The board window's page "Winboard Engines": the list of engines found in the
// engines folder and its sub-folders or added by hand, loading and unloading one, and
// the lines exchanged with it.

#include "app/windows/Main.h"

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
#include "app/game/maindefine.h"
#include "app/game/utility.h"
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
  EnginePages = new QTabWidget(page);
  EnginePages->setObjectName(QStringLiteral("PageControl2"));
  pageLayout->addWidget(EnginePages);

  EngineChoicePage = new QWidget;
  EngineChoicePage->setObjectName(QStringLiteral("TabSheet4"));
  auto* choice = new QGridLayout(EngineChoicePage);
  ChooseEngineButton = NamedButton(EngineChoicePage, "BitBtn1", "Chose Engine");
  EnginePathEdit = new QLineEdit(EngineChoicePage);
  EnginePathEdit->setObjectName(QStringLiteral("engineedit"));
  EngineParametersEdit = new QLineEdit(EngineChoicePage);
  EngineParametersEdit->setObjectName(QStringLiteral("parameter"));
  AddEngineButton = NamedButton(EngineChoicePage, "BitBtn3", "Add");
  choice->addWidget(ChooseEngineButton, 0, 0);
  choice->addWidget(new QLabel(QStringLiteral("Parameter"), EngineChoicePage), 0, 1);
  choice->addWidget(EnginePathEdit, 0, 2);
  choice->addWidget(new QLabel(QStringLiteral("Parameters"), EngineChoicePage), 1, 1);
  choice->addWidget(EngineParametersEdit, 1, 2);
  choice->addWidget(AddEngineButton, 1, 3);
  EngineList = new QListWidget(EngineChoicePage);
  EngineList->setObjectName(QStringLiteral("enginelist"));
  EngineParametersList = new QListWidget(EngineChoicePage);
  EngineParametersList->setObjectName(QStringLiteral("parengine"));
  FolderList = new QListWidget(EngineChoicePage);
  FolderList->setObjectName(QStringLiteral("DirectoryListBox1"));
  auto* lists = new QHBoxLayout;
  lists->addWidget(EngineList, 3);
  lists->addWidget(EngineParametersList, 1);
  lists->addWidget(FolderList, 2);
  choice->addLayout(lists, 2, 0, 1, 4);
  choice->setRowStretch(2, 1);
  choice->setColumnStretch(2, 1);
  LoadEngineButton = NamedButton(EngineChoicePage, "BitBtn2", "Load Engine");
  LoadEngineButton->setEnabled(false);
  UnloadEngineButton = NamedButton(EngineChoicePage, "unload", "Unload Engine");
  UnloadEngineButton->hide();
  auto* loading = new QHBoxLayout;
  loading->addWidget(LoadEngineButton);
  loading->addWidget(UnloadEngineButton);
  loading->addStretch(1);
  choice->addLayout(loading, 3, 0, 1, 4);
  EnginePages->addTab(EngineChoicePage, QStringLiteral("Engines"));

  EngineExchangePage = new QWidget;
  EngineExchangePage->setObjectName(QStringLiteral("TabSheet3"));
  auto* exchange = new QVBoxLayout(EngineExchangePage);
  ReceivedMemo = NamedMemo(EngineExchangePage, "Memoinput1");
  QFont received = ReceivedMemo->font();
  received.setPixelSize(16);
  ReceivedMemo->setFont(received);
  SentMemo = NamedMemo(EngineExchangePage, "Memoout");
  CommandBox = new QComboBox(EngineExchangePage);
  CommandBox->setObjectName(QStringLiteral("edit1"));
  CommandBox->setEditable(true);
  // The history grows only by the lines sent, without repeats.
  CommandBox->setInsertPolicy(QComboBox::NoInsert);
  CommandBox->setEnabled(false);
  SendButton = NamedButton(EngineExchangePage, "send", "Send to Engine");
  SendButton->setEnabled(false);
  EnginePathLabel = new QLabel(EngineExchangePage);
  EnginePathLabel->setObjectName(QStringLiteral("label5"));
  // It shows the engine's path, which may hold anything.
  EnginePathLabel->setTextFormat(Qt::PlainText);
  QFont heavy(QStringLiteral("Arial Black"));
  heavy.setWeight(QFont::Black);
  EnginePathLabel->setFont(heavy);
  exchange->addWidget(new QLabel(QStringLiteral("Received:"), EngineExchangePage));
  exchange->addWidget(ReceivedMemo, 3);
  exchange->addWidget(new QLabel(QStringLiteral("Sended:"), EngineExchangePage));
  exchange->addWidget(SentMemo, 1);
  exchange->addWidget(new QLabel(QStringLiteral("Winboard command:"), EngineExchangePage));
  auto* command = new QHBoxLayout;
  command->addWidget(CommandBox, 1);
  command->addWidget(SendButton);
  exchange->addLayout(command);
  exchange->addWidget(EnginePathLabel);
  EnginePages->addTab(EngineExchangePage, QStringLiteral("Select"));

  EngineChoicePage->installEventFilter(this);
  connect(FolderList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    std::string folder = item->data(Qt::UserRole).toString().toStdString();
    RunGuarded([this, folder] { ChooseEngineFolder(folder); });
  });
  connect(ChooseEngineButton, &QPushButton::clicked, this, Guarded([this] { ChooseEngineFile(); }));
  connect(AddEngineButton, &QPushButton::clicked, this, Guarded([this] { AddEngine(); }));
  connect(LoadEngineButton, &QPushButton::clicked, this, Guarded([this] { LoadSelectedEngine(); }));
  connect(EngineList, &QListWidget::itemDoubleClicked, this, Guarded([this] { LoadSelectedEngine(); }));
  connect(UnloadEngineButton, &QPushButton::clicked, this, Guarded([this] { UnloadEngine(); }));
  connect(SendButton, &QPushButton::clicked, this, Guarded([this] { SendCommandLine(); }));
  return page;
}

void TFormOpengl::PointFolderList(const std::string& folder) {
  // The folder itself, its parent and its sub-folders; activating one chooses it.
  FolderList->clear();
  auto add = [this](const QString& text, const std::string& path) {
    auto* item = new QListWidgetItem(text, FolderList);
    item->setData(Qt::UserRole, ToQString(path));
  };
  add(ToQString(folder), folder);
  fs::path parent = fs::path(folder).lexically_normal().parent_path();
  if (!parent.empty() && parent != fs::path(folder)) add(QStringLiteral(".."), parent.string());
  for (const std::string& name : EntriesOf(folder, IsFolder)) add(ToQString(name), JoinPath(folder, name));
  FolderList->setCurrentRow(0);
}

void TFormOpengl::ScanEngineFolder(const std::string& folder) {
  for (const std::string& name : EntriesOf(folder, IsProgram)) {
    EngineList->addItem(ToQString(JoinPath(folder, name)));
    EngineParametersList->addItem(QString());
  }
}

void TFormOpengl::ScanEngineFolders() {
  ScanEngineFolder(Folders.Engines);
  // One level of sub-folders, no deeper.
  for (const std::string& name : EntriesOf(Folders.Engines, IsFolder))
    ScanEngineFolder(JoinPath(Folders.Engines, name));
}

void TFormOpengl::ListEngines() {
  EngineList->clear();
  EngineParametersList->clear();
  ScanEngineFolders();
  LoadEngineButton->setEnabled(true);
  PointFolderList(Folders.Engines);
}

void TFormOpengl::ChooseEngineFolder(const std::string& folder) {
  Folders.Engines = folder;
  EngineList->clear();
  EngineParametersList->clear();
  ScanEngineFolders();
  LoadEngineButton->setEnabled(true);
  PointFolderList(Folders.Engines);
}

void TFormOpengl::ChooseEngineFile() {
  std::string path = Folders.Engines;
  if (!Dialogs().OpenFile(std::string(), path)) return;
  EnginePathEdit->setText(ToQString(path));
  if (Owner) Owner->SetStatusText("Insert optionl parameter and clic on Load Engine button");
}

void TFormOpengl::AddEngine() {
  QString path = EnginePathEdit->text().trimmed();
  if (path.isEmpty()) return;
  EngineList->addItem(path);
  EngineParametersList->addItem(EngineParametersEdit->text());
  LoadEngineButton->setEnabled(true);
  EnginePathEdit->clear();
  EngineParametersEdit->clear();
}

int TFormOpengl::SelectedEngineIndex() const {
  for (int i = 0; i < EngineList->count(); ++i)
    if (EngineList->item(i)->isSelected()) return i;
  return -1;
}

void TFormOpengl::LoadSelectedEngine() { LoadEngine(std::string(), std::string()); }

void TFormOpengl::LoadEngine(const std::string& enginePath, const std::string& engineParameters) {
  std::string path = enginePath;
  std::string parameters = engineParameters;
  Game.SetEngineThinking(false);
  if (path.empty()) {
    int i = SelectedEngineIndex();
    if (i < 0) {
      Dialogs().ShowMessage(PLEASE_SELECT_TEXT);
      return;
    }
    path = EngineList->item(i)->text().toStdString();
    std::error_code error;
    if (!fs::exists(path, error)) {
      Dialogs().ShowMessage(FILE_NOT_FOUND_TEXT + path);
      return;
    }
    parameters.clear();
    if (i < EngineParametersList->count()) parameters = EngineParametersList->item(i)->text().toStdString();
  }
  QuitEngine();
  ReceivedMemo->clear();
  FReceivedLineOpen = false;
  SentMemo->clear();
  QFont small = ReceivedMemo->font();
  small.setPointSize(8);
  ReceivedMemo->setFont(small);

  bool enginePlaysLight = Owner && Owner->UserSide() == TSide::Dark;
  TDispatcher dispatch = [this](std::function<void()> work) {
    QMetaObject::invokeMethod(this, [work = std::move(work)] { RunGuarded(work); }, Qt::QueuedConnection);
  };
  TScheduler schedule = [this](std::chrono::milliseconds delay, std::function<void()> work) {
    // Precise: a coarse timer may fire a long wait up to 5 % early.
    QTimer::singleShot(delay, Qt::PreciseTimer, this, [work = std::move(work)] { RunGuarded(work); });
  };
  // Locked until the engine has started (PressOnBoard) and, when it plays light, until
  // its first move has been shown.
  Game.SetEngineThinking(enginePlaysLight);
  // The opening commands start a new game (and one playing light moves at once from
  // the start): a game on the board is given up, and the user is told so.
  const bool newGame = Game.ClipboardFen() != START_POSITION_FEN;
  auto onStarted = [this, newGame] {
    std::string state = GameStateText();
    // The user to move from the start: the engine is ready for the first move.
    if (state == YOUR_MOVE_TEXT && Game.ClipboardFen() == START_POSITION_FEN) state = READY_TEXT;
    if (newGame) state += std::string(state.ends_with('.') ? " " : ". ") + ENGINE_NEW_GAME_TEXT;
    FEngineStatusShown = false;
    if (Owner) Owner->SetStatusText(state);
  };
  EngineObj = tloadengine::Start(path, parameters, Game, this, enginePlaysLight, std::move(dispatch),
                                 std::move(schedule), std::move(onStarted), EngineDelays);
  if (!EngineObj) {
    // Reported by the start; the engine before it, if any, is gone too.
    Game.SetEngineThinking(false);
    UnloadEngine();
    return;
  }
  Game.LoadFen(START_POSITION_FEN);
  EngineAwaitsGo = false;
  if (Owner) Owner->RefreshBoard();
  if (Owner) Owner->SetStatusText(newGame ? std::string(ENGINE_STARTING_TEXT) + " " + ENGINE_NEW_GAME_TEXT
                                          : ENGINE_STARTING_TEXT);

  EngineCaption = fs::path(path).filename().string();
  SetCaption(HOST_ENGINE_CAPTION + EngineCaption);
  EngineWatchTimer->start();
  UnloadEngineButton->show();
  UnloadEngineButton->setText(ToQString("Unload " + EngineCaption + " "));
  // 15 pixels a letter of the name, but never narrower than its caption.
  UnloadEngineButton->setFixedWidth(
      std::max(15 * static_cast<int>(EngineCaption.size()), UnloadEngineButton->sizeHint().width()));
  SendButton->setEnabled(true);
  CommandBox->setEnabled(true);
  EnginePathLabel->setText(ToQString(path));
  EnginePages->setCurrentWidget(EngineExchangePage);
  SetEngineSideItemsEnabled(false);
}

void TFormOpengl::QuitEngine() {
  // Nothing it would still say belongs to the game on the board.
  FUserMoveSent.reset();
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

void TFormOpengl::UnloadEngine() {
  EngineWatchTimer->stop();
  UnloadEngineButton->hide();
  SendButton->setEnabled(false);
  CommandBox->setEnabled(false);
  QuitEngine();
  EnginePathLabel->clear();
  SetEngineSideItemsEnabled(true);
}

void TFormOpengl::WatchEngine() {
  // The reader saw the engine's output end, or a write to it failed: the page shows
  // that no engine is loaded, as after Unload, so that nothing waits for the engine.
  if (!EngineObj || EngineObj->IsConnected()) return;
  UnloadEngine();
}

std::size_t TFormOpengl::SendToEngine(const std::string& text) { return EngineObj ? EngineObj->SendCommand(text) : 0; }

void TFormOpengl::SendCommandLine() {
  QString text = CommandBox->currentText().trimmed();
  CommandBox->setEditText(text);
  if (!EngineObj) {
    Dialogs().ShowMessage(NO_ENGINE_ERROR_TEXT);
    return;
  }
  if (text.isEmpty()) {
    Dialogs().ShowMessage(WHAT_TEXT);
    return;
  }
  if (EngineObj->SendCommand(text.toStdString()) == 0) ReportEngineWriteError(*EngineObj);
  if (CommandBox->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) CommandBox->addItem(text);
}

void TFormOpengl::SetEngineSideItemsEnabled(bool enabled) {
  if (!Owner) return;
  Owner->SetSideChoiceEnabled(enabled);
}

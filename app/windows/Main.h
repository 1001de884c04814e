#pragma once
// The board window: a child of the main window's multi-document area with the tool
// bar of looks and positions, the page "Board" that holds the 3D view, the page
// "Winboard Engines" where the user lists, loads, talks to and unloads an engine, and
// its own status line. It is the engine front end's board.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "app/scene/BoardDrag.h"
#include "app/windows/BoardOwner.h"
#include "app/scene/BoardSlides.h"
#include "app/game/Game.h"
#include "app/game/MainLookFile.h"
#include "app/scene/MainScene.h"
#include "app/game/ProgramFolders.h"
#include "app/game/maindefine.h"
#include "app/game/uloadengine.h"
#include "base/Geometry.h"
#include "scene/qt/GLSceneViewer.h"
#include "scene/texture/GLTexture.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class TGLCadencer;

inline constexpr char NO_ENGINE_CAPTION[] = "NO CHESS ENGINE LOADED";
inline constexpr char HOST_ENGINE_CAPTION[] = "Host Engine: ";

// One tool-bar button: its component name, its hint and its picture in res/toolbar.
struct TToolButtonInfo {
  const char* Name;
  const char* Hint;
  const char* Icon;
};
// In tool-bar order; a null name stands for a separator between groups.
inline constexpr TToolButtonInfo TOOL_BUTTONS[] = {
    {"ToolButton25", "Open look", "open-look"},
    {"ToolButton23", "Save look", "save-look"},
    {nullptr, nullptr, nullptr},
    {"ToolButton6", "Light color", "light-color"},
    {"ToolButton7", "Dark color", "dark-color"},
    {"ToolButton1", "Light texture", "light-texture"},
    {"ToolButton2", "Dark texture", "dark-texture"},
    {nullptr, nullptr, nullptr},
    {"ToolButton4", "Background color", "background-color"},
    {nullptr, nullptr, nullptr},
    {"ToolButton30", "Light board texture", "light-board-texture"},
    {"ToolButton31", "Dark board texture", "dark-board-texture"},
    {"ToolButton35", "Dark board color", "dark-board-color"},
    {"ToolButton34", "Light board color", "light-board-color"},
    {nullptr, nullptr, nullptr},
    {"ToolButton9", "Load Position", "load-position"},
    {"ToolButton11", "Save Position", "save-position"},
    {nullptr, nullptr, nullptr},
    {"ToolButton12", "New Match", "new-match"},
};

// The text on the main window's status line while the engine is to move.
inline constexpr char THINKING_TEXT[] = "Thinking...";
// The status line once the engine's move has been shown, or a position was given to
// the engine with the user to move.
inline constexpr char YOUR_MOVE_TEXT[] = "Your move";
// The status line when the user presses one of their pieces while the board is locked:
// while the engine thinks, and while it starts.
inline constexpr char WAIT_TEXT[] = "Wait: the engine is thinking";
inline constexpr char WAIT_STARTING_TEXT[] = "Wait: the engine is starting";
// The status line from the load of an engine until it has started (its opening
// commands, and the reminders to an engine that says nothing).
inline constexpr char ENGINE_STARTING_TEXT[] = "The engine is starting...";
// The status line when a newly loaded engine sets the board back to the start position.
inline constexpr char ENGINE_NEW_GAME_TEXT[] = "The new engine starts a new game from the start position";
// The status line once the engine has started, with the user to move from the start.
inline constexpr char READY_TEXT[] = "Ready";
// The status line when the side to move is checkmated, after the winner's name ("light
// wins"); a stalemate says STALEMATE_TEXT.
inline constexpr char CHECKMATE_TEXT[] = "Checkmate: ";
inline constexpr char ILLEGAL_MOVE_TEXT[] = "no";
inline constexpr char OTHER_SIDE_TEXT[] = "You are playing with other side.";
inline constexpr char USER_MATES_TEXT[] = "mate2";
// Before the name of a look file named on the command line that is not there.
inline constexpr char START_LOOK_NOT_FOUND_TEXT[] = "Look file not found: ";

class TFormOpengl : public QWidget, public TEngineBoard, public TBoardScene, private TSlideHost {
public:
  // CreateBoardForm: the window of `owner`'s area, playing `game` with what it finds in
  // `folders`; the three must outlive the window, and `owner` may be null. Runs StartUp.
  TFormOpengl(TBoardOwner* owner, TGame& game, TProgramFolders& folders);
  // Stops a running engine (bounded waits) before the window goes.
  ~TFormOpengl() override;

  // The layout. Each widget, action and timer has its component's name as its
  // objectName ("ToolButton25", "movepezzo", ...), by which it can be found.
  QToolBar* ToolBar;
  // The tool bar, in TOOL_BUTTONS' order.
  QAction* OpenLookButton;
  QAction* SaveLookButton;
  QAction* LightPieceColourButton;
  QAction* DarkPieceColourButton;
  QAction* LightPieceTextureButton;
  QAction* DarkPieceTextureButton;
  QAction* BackgroundColourButton;
  QAction* LightBoardTextureButton;
  QAction* DarkBoardTextureButton;
  QAction* DarkBoardColourButton;
  QAction* LightBoardColourButton;
  QAction* LoadPositionButton;
  QAction* SavePositionButton;
  QAction* NewMatchButton;
  QTabWidget* Pages;
  QWidget* BoardPage;        // "Board"
  QWidget* EnginesPage;      // "Winboard Engines"
  TGLSceneViewer* BoardView;  // the 3D view of SceneTree
  QStatusBar* StatusBar;
  // Unloads an engine whose output has ended.
  QTimer* EngineWatchTimer;
  // Puts the first pieces on their squares one tick after the window was made, or at
  // the view's first paint if that comes first; null once it has.
  QTimer* FirstPiecesTimer;
  // Tick the slides of the engine's piece, of its castling rook and of a piece the
  // user took.
  QTimer* EngineSlideTimer;
  QTimer* CastleRookSlideTimer;
  QTimer* UserVictimSlideTimer;
  // Orbits the camera while a mouse button is held; off otherwise.
  std::unique_ptr<TGLCadencer> OrbitCadencer;

  // The engine page.
  QTabWidget* EnginePages;
  QWidget* EngineChoicePage;    // "Engines": the choice
  QWidget* EngineExchangePage;  // "Select": the exchange
  QPushButton* ChooseEngineButton;
  QLineEdit* EnginePathEdit;
  QLineEdit* EngineParametersEdit;
  QPushButton* AddEngineButton;
  QListWidget* EngineList;
  QListWidget* EngineParametersList;
  QListWidget* FolderList;
  QPushButton* LoadEngineButton;
  QPushButton* UnloadEngineButton;
  QPlainTextEdit* ReceivedMemo;
  QPlainTextEdit* SentMemo;
  QComboBox* CommandBox;
  QPushButton* SendButton;
  QLabel* EnginePathLabel;

  // The main window, through what the board asks of it; null for none.
  TBoardOwner* Owner;
  // The game on the board, the main window's.
  TGame& Game;
  // The program's folders, the main window's; the engine page points Engines elsewhere.
  TProgramFolders& Folders;
  std::string EngineCaption;
  std::string StartFolder;
  // The running engine, null when none.
  std::unique_ptr<tloadengine> EngineObj;
  // The waits around the engine's start and end (tests shorten them).
  TEngineDelays EngineDelays;
  // The most lines each engine memo keeps; older lines go first.
  static constexpr int MEMO_MAX_LINES = 5000;

  // The window's start: its caption, the pieces, and the look named on the command
  // line or the artistic one.
  void StartUp();
  // True when the window may close now; otherwise the engine is being quit and
  // `whenClosable` runs once it is gone.
  bool QuitBeforeClose(std::function<void()> whenClosable);
  void ShowAboutBox();

  // The board's look and pieces as the main window's menus and refresh use them.
  bool ShowClassicBoard();
  bool LoadArtisticBoard();
  void LoadLookFile(const std::string& path);
  // Shows or hides the four buttons of the artistic board's look.
  void SetBoardLookButtonsVisible(bool visible);
  // Shows the pieces of the game's position anew. A running slide stops first, its
  // pieces and the board's lock as its end would leave them.
  void RefreshPieces() override;
  // The first tick after the pieces were made, or the first paint: they go to their
  // squares.
  void PlaceFirstPieces();

  // The user's move (window pixels, y from the top).
  void PressOnBoard(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void DragOnBoard(TObject* sender, TShiftState shift, int x, int y);
  void ReleaseOnBoard(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  // The piece held by the mouse, or the camera's orbit.
  TBoardDrag Drag;
  // The slides of the engine's moves and of captured pieces; the slide timers tick them.
  TBoardSlides Slides;

  // The camera: orbits while a button is held where no piece was picked (each tick of
  // the cadencer turns it by the mouse's move since the last one), and the wheel
  // changes its distance.
  void OrbitCamera();
  void ZoomCamera(int wheelDelta);

  // Looks: the tool bar's look buttons and the look files (MainLooks.cpp).
  TLookState Look;
  enum : int { TEXTURE_LOOK = 0, COLOUR_LOOK = 1 };
  // A colour or a picture chosen by the user for the pieces of a side; a cancelled
  // dialog changes nothing.
  void ChoosePieceLook(TSide side, int mode);
  void ApplyPieceColours(int colourA, int colourB);
  void ApplyPieceTexture(TSide side, const std::string& path);
  void ApplyBackgroundColour(int colour);
  void ApplyBoardColour(TSide side, int colour);
  void ApplyBoardTexture(TSide side, const std::string& path);
  // A piece model made after the look was applied wears its side's colour or picture.
  void PieceModelAdded(TBoardPiece& piece) override;
  // The pictures the pieces and the board's halves show: each file is read once and
  // uploaded once for all the objects that show it, and freed when none shows it.
  struct TLookPicture {
    std::string Path;
    // The file as it was read: a file changed since is read again.
    std::uintmax_t Size = 0;
    std::filesystem::file_time_type Time{};
    std::unique_ptr<TGLTexture> Texture;
  };
  std::vector<TLookPicture> LookPictures;
  void ChooseBackgroundColour();
  void ChooseLightBoardColour();
  void ChooseDarkBoardColour();
  void ChooseLightBoardTexture();
  void ChooseDarkBoardTexture();
  void SaveLook();
  void OpenLook();
  // Saves the look and the board of the main window's View menu; a failure is
  // reported and keeps the old file.
  void SaveLookFile(const std::string& path);
  // The look file named on the command line: its board first, then its look. A file
  // that is missing or no look is reported, and the artistic look is shown.
  void LoadStartLook(const std::string& path);
  // The board a look file was saved with, built unless it is shown, with the main
  // window's View items checked as they name it. False, changing nothing, for a file
  // that is missing or no look.
  bool ShowBoardOfLook(const std::string& path);
  // Positions and New Match (MainPositions.cpp).
  void LoadPosition();
  void SavePosition();
  void NewMatch();
  // A position loaded or pasted as a whole goes to a loaded engine
  // (EnginePositionCommands), which leaves the game it played (tloadengine::LeaveGame:
  // it may still be searching there while the board is locked, or when `searching`).
  // When the engine's side is to move the engine is told to play ("go") and the board is
  // locked; else the board is the user's and the engine plays from the user's next move
  // on. Without an engine nothing changes.
  void GivePositionToEngine(bool searching = false);
  // The user's move to the engine, followed by "go" when the engine waits in force mode
  // for the user's first move after a position was given to it. False (reported) when
  // a write failed, and without an engine. The position before the move, `before` and
  // `rightsBefore`, is kept until the engine answers: a refusal takes the move back.
  bool SendUserMove(const std::string& text, const TBitBoards& before, const TGameRights& rightsBefore);
  // The engine was given a position with the user to move and waits in force mode.
  bool EngineAwaitsGo = false;
  // Connects the look, position and New Match buttons to their handlers.
  void ConnectToolButtons();

  // The engine page. Its choice page, when shown, lists the engines of the engines
  // folder and its sub-folders, and a folder chosen in its list becomes the engines
  // folder; an engine file chosen by the user goes to the path line, and Add puts the
  // path and its parameters on the list.
  void ListEngines();
  void ChooseEngineFolder(const std::string& folder);
  void ChooseEngineFile();
  void AddEngine();
  // Load Engine and a double click on the list load the selected engine; Unload
  // quits the engine and lets the user choose a side again.
  void LoadSelectedEngine();
  void UnloadEngine();
  // The command line's text to the engine, kept in its history.
  void SendCommandLine();
  // Every second while an engine is loaded: an engine whose output ended is unloaded.
  void WatchEngine();
  // Starts `path` with `parameters`, or with empty `path` the selected engine of the
  // list. The board stays locked until the engine has started.
  void LoadEngine(const std::string& path, const std::string& parameters);
  // Sends "quit" and lets the engine end without waiting for it here.
  void QuitEngine();
  void ScanEngineFolders();
  void ScanEngineFolder(const std::string& folder);
  int SelectedEngineIndex() const;
  bool IsEngineLoaded() const { return EngineObj != nullptr; }
  // Engines that were quit and have not ended yet.
  std::size_t QuittingEngines() const { return FQuitting.size(); }
  std::size_t SendToEngine(const std::string& text);

  // The engine front end's board.
  void StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) override;
  void AppendEngineOutput(const std::string& text) override;
  void AppendSentCommand(const std::string& text) override;
  void AppendEngineNote(const std::string& text) override;
  void ShowEngineStatus(const std::string& text) override;
  void ShowEngineNotice(const std::string& text) override;
  bool TakeBackUserMove(const std::string& refusal) override;
  void EngineMoveArrived() override;

  // The game's state on the main window's status line: the engine starting or thinking,
  // the game's end, or the user's move (GameStateText). The engine's own words there
  // (ShowEngineStatus) give way to it only when the game changes.
  void ShowGameState();
  std::string GameStateText() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

private:
  // The texture of the picture file `path`: the one read before while the file is
  // unchanged, else read now. Raises when the file cannot be read.
  TGLTexture& LookPicture(const std::string& path);
  // Frees the pictures that no piece and no board half shows any more.
  void FreeUnshownPictures();
  void BuildToolBar();
  void BuildBoardView(QWidget* page);
  // The slide timers run while the slides ask for them.
  void RunTicker(TTicker ticker, bool run) override;
  // The end of the engine's move: the board is the user's again.
  void EngineMoveShown() override;
  // The held piece back where it was picked.
  void PutBack(TBoardPiece& piece);
  void ShowMouseStatus();
  QWidget* BuildEnginePage();
  void PointFolderList(const std::string& folder);
  void SetEngineSideItemsEnabled(bool enabled);
  void SetCaption(const std::string& text);
  // Frees `engine` once it has quit.
  void Retire(std::unique_ptr<tloadengine> engine);
  void EngineGone(tloadengine* engine);

  // The user's move that waits for the engine's answer, with the position before it.
  struct TUserMoveSent {
    std::string Text;
    TBitBoards Before{};
    TGameRights RightsBefore;
    bool WithGo = false;  // "go" followed it
  };
  std::optional<TUserMoveSent> FUserMoveSent;
  // The status line shows the engine's own words (ShowEngineStatus), which the end of
  // its move's slide leaves there.
  bool FEngineStatusShown = false;

  std::vector<std::unique_ptr<tloadengine>> FQuitting;
  // The last line of the received memo has not ended: the engine's next output goes
  // on with it.
  bool FReceivedLineOpen = false;
  std::function<void()> FWhenClosable;
};

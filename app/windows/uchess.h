#pragma once
// The main window: the frame of the board window, with the menus that load and save
// positions (files and clipboard), choose the user's side, switch between the
// classic and the artistic board and open the About box, and the status line.

#include <array>
#include <string>

#include <QMainWindow>
#include <QPointer>

#include "app/windows/BoardOwner.h"
#include "app/game/Game.h"
#include "app/game/ProgramFolders.h"

class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class TFormOpengl;

inline constexpr char POSITION_FILTER[] = "*.fen";

class TForm1 : public QMainWindow, public TBoardOwner {
public:
  // Builds the window and runs StartUp, which shows it; one tick later BoardWindowTimer
  // makes the board window.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The components. Each has its component's name as its objectName ("Edit1",
  // "bianco_checked", ...), by which it can be found.
  QLineEdit* ClipboardLine;  // hidden; positions go to and from the clipboard through it
  // The status line's text: the game's state and messages. A widget of the status bar,
  // which the hints of the tool bar and the menus cover only while they are shown.
  QLabel* StatusLabel;
  QMenu* FileMenu;
  QAction* LoadPositionItem;
  QAction* SavePositionItem;
  QAction* SavePositionAsItem;
  QAction* CopyPositionItem;
  QAction* PastePositionItem;
  QAction* ExitItem;
  QMenu* GameMenu;
  QAction* NewGameItem;
  QAction* PlayLightItem;
  QAction* PlayDarkItem;
  QMenu* ViewMenu;
  QMenu* ClassicMenu;
  QAction* ClassicItem;
  std::array<QAction*, 5> ClassicPictureItems;  // N1 .. N5
  QAction* ArtisticItem;
  QMenu* HelpMenu;
  QAction* AboutItem;
  QTimer* BoardWindowTimer;
  QTimer* MaximiseBoardTimer;
  QMdiArea* MdiArea = nullptr;        // the central widget once BoardWindowTimer has fired
  QPointer<TFormOpengl> FormOpengl;   // the board window, null until BoardWindowTimer fires
  QPointer<QMdiSubWindow> BoardFrame;  // the board window's frame in the area

  // The game on the board; the board window and the engine play it.
  TGame Game;
  // The program's folders, set from where the program lies when the window is made.
  TProgramFolders Folders;

  // The current position file; empty until one is loaded or saved.
  std::string PositionFile;
  bool SaveAsRequested = false;

  // The window's start: its caption, shown maximised, the start position, and the
  // board window one tick later.
  void StartUp();
  void InitBoardState();
  // The board window in the multi-document area, maximised.
  void MakeBoardWindow();
  // Every second: the board window maximised again if the user restored it.
  void KeepBoardMaximised();
  // Shows the whole position anew on the board, after it changed as a whole.
  void RefreshBoard() override;

  // The File menu. Load and Save name the file in the caption; Save As asks for a
  // name even when one is known.
  void LoadPositionAndName();
  void SavePositionAndName();
  void SavePositionAs();
  // The position as FEN to the clipboard, and from it (shown, and given to a loaded
  // engine).
  void CopyPosition();
  void PastePosition();
  void ExitProgram();
  // Asks for a name to save the position under; true and PositionFile set when the
  // user chose one (".fen" added unless the name has it in any letter case).
  bool ChooseSaveFileName();
  // Makes `name` the current position file. A caption of either window that names a
  // position file names this one from now on: the two never name different files.
  void SetPositionFile(const std::string& name);
  // Reads the first line of `path` as a FEN position into the game, with its side to
  // move, rights and move counters; a file that cannot be read or holds no position is
  // reported and changes nothing.
  bool LoadPositionFile(const std::string& path);
  // Writes the position file: the placement, the side to move, the castles, the en
  // passant square, the half-move clock, the full-move number and CR LF
  // ("... w KQkq - 0 1"). The file is replaced whole or, when the write fails, kept as
  // it was (the failure is reported).
  bool SavePositionFile(const std::string& path);
  // Load Position and Save Position without the caption, for this window's menu and
  // the board window's tool bar: true when a position was loaded (shown, and given to
  // a loaded engine) or written; a cancelled dialog does nothing.
  bool OpenPosition() override;
  bool SavePosition() override;
  std::string PositionFileName() const override { return PositionFile; }

  void PlayLight();
  void PlayDark();
  // The user's side: light while "Move Ligth" is checked, else dark.
  TSide UserSide() const override;
  // Both items of the side, enabled or not.
  void SetSideChoiceEnabled(bool enabled) override;

  // The View menu: the classic board with picture and look 1, ...
  void SwitchToClassicBoard();
  // ... the classic board's picture and look `n` (2..5), ...
  void ShowClassicPicture(int n);
  // ... or the artistic board.
  void SwitchToArtisticBoard();
  // Checks the View items of the board shown: the classic one with picture 1..5 (0:
  // none), or the artistic one.
  void CheckViewItems(bool classic, int picture) override;
  // The board of the View items: classic while Artistic is unchecked, with the first
  // checked picture.
  TLookBoard CheckedBoard() const override;
  bool ClassicBoardChecked() const override { return ClassicItem->isChecked(); }
  void ShowAbout();

  // The text of the status line.
  void SetStatusText(const std::string& text) override;
  std::string StatusText() const override;

protected:
  // Waits for a running engine to be quit before the window closes.
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildMenus();
  void SetCaption(const std::string& text);
  // Takes FEN text from `where` ("The clipboard") as the game's position; a byte order
  // mark before it is passed over. A text without a placement, or a position no game
  // can reach (a king that could be taken next), is reported in one message and
  // changes nothing.
  bool TakePosition(const std::string& where, const std::string& taken);

  // The caption this window set; while the board window is maximised the title shows
  // the board window's caption after it.
  std::string FCaption;
};

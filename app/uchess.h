#pragma once
// The main window: the frame of the board window, with the menus that load and save
// positions (files and clipboard), choose the user's side, switch between the
// classic and the artistic board and open the About box, and the status line.

#include <array>
#include <string>

#include <QMainWindow>
#include <QPointer>

class QAction;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class TFormOpengl;

inline constexpr char PROGRAM_CAPTION[] = "Brovanel 0.1";
inline constexpr char POSITION_FILTER[] = "*.fen";

class TForm1 : public QMainWindow {
public:
  // Builds the window and runs FormCreate, which shows it; one tick later Timer1
  // makes the board window.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The components, by their names.
  QLineEdit* Edit1;  // hidden; positions go to and from the clipboard through it
  QMenu* File1;
  QAction* LoadPosition1;
  QAction* Save1;
  QAction* SaveAs1;
  QAction* Savepositiontoclipboard1;
  QAction* P1;
  QAction* Close1;
  QMenu* Game1;
  QAction* New2;
  QAction* bianco_checked;
  QAction* nero_checked;
  QMenu* View1;
  QMenu* Classic1Menu;
  QAction* Classic1;
  std::array<QAction*, 5> ClassicItems;  // N1 .. N5
  QAction* Artistic1;
  QMenu* Help1;
  QAction* about2;
  QTimer* Timer1;
  QTimer* maxmizeopengl;
  QTimer* Timer11;
  QTimer* Timer22;
  QMdiArea* MdiArea = nullptr;        // the central widget once Timer1 has fired
  QPointer<TFormOpengl> FormOpengl;   // the board window, null until Timer1 fires
  QPointer<QMdiSubWindow> BoardFrame;  // the board window's frame in the area

  // The current position file; empty until one is loaded or saved.
  std::string PositionFile;
  bool SaveAsRequested = false;

  void FormCreate();
  void InitBoardState();
  void Timer1Timer();
  void maxmizeopenglTimer();
  // Shows the whole position anew on the board, after it changed as a whole.
  void RefreshBoard();

  void LoadPosition1Click();
  void Save1Click();
  void SaveAs1Click();
  void Savepositiontoclipboard1Click();
  void P1Click();
  void Close1Click();
  // Asks for a name to save the position under; true and PositionFile set when the
  // user chose one (".fen" added unless the name has it in any letter case).
  bool ChooseSaveFileName();
  // Makes `name` the current position file. A caption of either window that names a
  // position file names this one from now on: the two never name different files.
  void SetPositionFile(const std::string& name);
  // Reads the first line of `path` as a FEN position into the shared position and its
  // side to move and rights; a file that cannot be read or holds no position is
  // reported and changes nothing.
  bool LoadPositionFile(const std::string& path);
  // Writes the position file: the placement, the side to move, the castles, the en
  // passant square, "0 1" and CR LF ("... w KQkq - 0 1"). The file is replaced whole
  // or, when the write fails, kept as it was (the failure is reported).
  bool SavePositionFile(const std::string& path);
  // Load Position and Save Position without the caption, for this window's menu and
  // the board window's tool bar: true when a position was loaded (shown, and given to
  // a loaded engine) or written; a cancelled dialog does nothing.
  bool OpenPosition();
  bool SavePosition();

  void bianco_checkedClick();
  void nero_checkedClick();
  // The user's side: LIGHT_SIDE while "Move Ligth" is checked, else DARK_SIDE.
  int UserSide() const;

  void N1Click();
  // Classic board picture and look `n` (2..5).
  void ClassicItemClick(int n);
  void Artistic1Click();
  // Checks the View items of the board shown: the classic one with picture 1..5 (0:
  // none), or the artistic one.
  void CheckViewItems(bool classic, int picture);
  void about2Click();

  // The text of the status line.
  void SetStatusText(const std::string& text);
  std::string StatusText() const;

protected:
  // Waits for a running engine to be quit before the window closes.
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildMenus();
  void SetCaption(const std::string& text);

  // The caption this window set; while the board window is maximised the title shows
  // the board window's caption after it.
  std::string FCaption;
};

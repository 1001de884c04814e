#pragma once
// The game on the board: the position (twelve bitboards), the side to move and the
// rights that go with it, and the lock that keeps the user's hands off the board while
// the engine is to move. The main window owns the one game of the program and lends
// it by reference to the board window and the engine front end; everything that
// touches it runs on the main thread. The rules themselves are the free functions of
// utility.h; the game applies them to its own position.
//
//   TGame game;
//   game.LoadFen(START_POSITION_FEN);
//   TUserMove played = game.PlayUserMove(move, TSide::Light);   // played.Text == "e2e4"
//   game.SetEngineThinking(true);                             // until the answer is shown

#include <string>
#include <string_view>
#include <vector>

#include "app/game/maindefine.h"
#include "app/game/utility.h"

// How the game stands for the side to move: it goes on, or that side has no legal move
// and is checkmated (in check) or stalemated (not in check: the game is drawn).
enum class TGameEnd { None, Checkmate, Stalemate };

// The message of a stalemate, whoever made it.
inline constexpr char STALEMATE_TEXT[] = "Stalemate: the game is drawn";

class TGame {
public:
  // An empty board, light to move, no castle: what a game holds before a position is set.
  TGame() = default;

  const TBitBoards& Board() const { return FBoard; }
  const TGameRights& Rights() const { return FRights; }
  TSide SideToMove() const { return FRights.SideToMove; }

  // Sets the position from FEN text, as New Match and a loaded position do: its
  // placement, and its side to move and rights (RightsOfFen). A bad placement is
  // reported (ParseFenPlacement) and changes nothing.
  bool LoadFen(std::string_view text);
  // Sets the position as a whole, its rights and move counters with it, e.g. back to the
  // one before a move the engine refused.
  void SetPosition(const TBitBoards& board, const TGameRights& rights);

  // ApplyGameMove on this game: the move of `side` with the rights following it.
  TMoveResult Apply(const TBoardMove& move, TSide side, TMoveEffects* effects = nullptr);
  // PlayUserMove on this game: a legal move of `side` is applied, an illegal one
  // changes nothing.
  TUserMove PlayUserMove(const TBoardMove& move, TSide side);
  // IsLegalUserMove on this game: whether `side` may make `move` by the rules.
  bool IsLegal(const TBoardMove& move, TSide side) const { return IsLegalUserMove(FBoard, FRights, move, side); }
  // True when `side` has no legal move, en passant included: checkmate or stalemate.
  bool IsMate(TSide side) const;
  // Whether the game has ended with `side` to move, and how.
  TGameEnd EndFor(TSide side) const;

  // The position as FEN text with the move counters the game has reached: the
  // clipboard's form, the position file's (with CR LF), and the lines that give it to a
  // Winboard engine (EnginePositionCommands).
  std::string ClipboardFen() const { return FenClipboardText(FBoard, FRights); }
  std::string FileFen() const { return FenFileText(FBoard, FRights); }
  std::vector<std::string> EngineCommands(bool editMode) const { return EnginePositionCommands(FBoard, FRights, editMode); }

  // The board is locked while the engine is to move: set when the user's move has gone
  // to the engine, cleared once the engine's answer has been shown or no answer is coming.
  bool EngineThinking() const { return FEngineThinking; }
  void SetEngineThinking(bool thinking) { FEngineThinking = thinking; }

private:
  TBitBoards FBoard{};
  TGameRights FRights;
  bool FEngineThinking = false;
};

// Tells the user how the game has ended with `side` to move: `mateText` for a
// checkmate, STALEMATE_TEXT for a stalemate; nothing while it goes on.
void ReportGameEnd(const TGame& game, TSide side, const char* mateText);

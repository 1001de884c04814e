#pragma once
// What the board window asks of the window that owns it: the user's side, the status
// line, the View menu's board items, the Game menu's side items and the position file.
// The main window implements it; the board window knows it only through this.

#include <string>

#include "app/game/MainLookFile.h"
#include "app/game/Side.h"

class TBoardOwner {
public:
  virtual ~TBoardOwner() = default;

  // The side the user plays (the Game menu).
  virtual TSide UserSide() const = 0;
  // Lets the user choose a side, or not while an engine is loaded.
  virtual void SetSideChoiceEnabled(bool enabled) = 0;

  // The text of the owner's status line.
  virtual void SetStatusText(const std::string& text) = 0;
  virtual std::string StatusText() const = 0;

  // Shows the game's whole position anew on the board.
  virtual void RefreshBoard() = 0;

  // The board the View menu names: classic with its checked picture (0: none), or
  // the artistic one.
  virtual TLookBoard CheckedBoard() const = 0;
  // The View menu's Classic item is checked.
  virtual bool ClassicBoardChecked() const = 0;
  // Checks the View items of the board shown: the classic one with picture 1..5 (0:
  // none), or the artistic one.
  virtual void CheckViewItems(bool classic, int picture) = 0;

  // Load Position and Save Position through the owner's position file: true when a
  // position was loaded (shown, and given to a loaded engine) or written.
  virtual bool OpenPosition() = 0;
  virtual bool SavePosition() = 0;
  // The current position file; empty until one is loaded or saved.
  virtual std::string PositionFileName() const = 0;
};

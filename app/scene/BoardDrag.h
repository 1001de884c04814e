#pragma once
// The board window's mouse drag: the piece the user holds and the square a release
// would drop it on, or, while no piece is held, the camera's orbit that the drag turns.

#include "app/game/BoardMove.h"
#include "base/GLCrossPlatform.h"

struct TBoardPiece;

struct TBoardDrag {
  // The piece the user holds; null while the drag orbits the camera.
  TBoardPiece* HeldPiece = nullptr;
  // The square under the held piece, where a release drops it.
  TSquare Drop;
  // Where the held piece stood when it was picked: a refused drop puts it back.
  float StartX = 0, StartZ = 0;
  // The held piece's emission when it was picked, which it gets back when put down.
  TColorValue HeldEmission = 0;
  // The orbit, in window pixels: where the mouse was when the camera last turned, and
  // where it is now.
  int LastMouseX = 0, LastMouseY = 0;
  int CurMouseX = 0, CurMouseY = 0;

  // The drag orbits from (x, y): nothing to turn yet.
  void StartOrbit(int x, int y) {
    LastMouseX = CurMouseX = x;
    LastMouseY = CurMouseY = y;
  }
  // The mouse has moved since the camera last turned.
  bool OrbitPending() const { return CurMouseX != LastMouseX || CurMouseY != LastMouseY; }
  // The camera has turned as far as the mouse has moved.
  void OrbitDone() {
    LastMouseX = CurMouseX;
    LastMouseY = CurMouseY;
  }
};

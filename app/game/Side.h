#pragma once
// The two sides of a game, as the rules' callers, the looks and the windows name them.
// The move-rules library and the piece codes number them 0 dark and 1 light (a piece
// code's lowest bit): SideIndex and SideOfIndex convert where the two meet.
//
//   TSide mover = SideOfPiece(LIGHT_PAWN);     // TSide::Light
//   int code = DARK_KING + SideIndex(mover);   // LIGHT_KING

enum class TSide { Dark, Light };

// 0 for dark, 1 for light.
constexpr int SideIndex(TSide side) { return side == TSide::Light ? 1 : 0; }
// Light for any nonzero index, as the rules library reads its side argument.
constexpr TSide SideOfIndex(int index) { return index != 0 ? TSide::Light : TSide::Dark; }
// The side of a piece code (DARK_PAWN .. LIGHT_QUEEN).
constexpr TSide SideOfPiece(int code) { return SideOfIndex(code & 1); }
constexpr TSide OtherSide(TSide side) { return side == TSide::Light ? TSide::Dark : TSide::Light; }
// "light" or "dark", for messages.
constexpr const char* SideName(TSide side) { return side == TSide::Light ? "light" : "dark"; }

#include "rules/storage.h"

namespace rules {

std::array<TBitboard, 12> Position{};
TBitboard Occupancy = 0;
int SideToMove = 0;
int Opponent = 0;
int EnPassantSquare = -1;
int CurrentPly = 0;
std::array<TMoveRecord, MAX_PLIES * MAX_PLY_MOVES> MoveList{};
std::array<int, MAX_PLIES> MoveCount{};

}  // namespace rules

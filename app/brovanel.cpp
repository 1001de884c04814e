// The program's entry point. Until the windows exist it parses the start position
// into the shared bitboards and prints it.

#include <cstdio>

#include "app/maindefine.h"
#include "app/utility.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"

int main() {
  // Unit start-up, in unit order: the base layer's streamable classes.
  InitializePersistentClasses();
  InitializeVectorLists();
  if (!LoadFenPosition(START_POSITION_FEN)) return 1;
  std::printf("Brovanel 0.1\n\n");
  for (int rank = 8; rank >= 1; --rank) {
    std::printf("%d ", rank);
    for (int column = 8; column >= 1; --column) std::printf(" %c", PieceToChar(PieceCodeOnSquare(SquareIndex(column, rank))));
    std::printf("\n");
  }
  std::printf("\n   a b c d e f g h\n\n%s\n", FenClipboardText(BitBoards).c_str());
  return 0;
}

#pragma once
// The six chess pieces in the classic turned style: king, queen, rook, bishop,
// knight and pawn. Each is built standing on the origin with z up (the knight
// looking along -y), then moved to the baked placement of the board window.

#include <string>
#include <vector>

#include "tools/assets/AssetMesh.h"
#include "tools/threeds/Writer3DS.h"

enum class TPieceKind { King, Queen, Rook, Bishop, Knight, Pawn };

// A piece standing on the origin, z up, in board units (a square is 30 wide).
TAssetMesh PieceMesh(TPieceKind kind);

struct TPieceFile {
  std::string FileName;  // "re.3ds" ...
  TPieceKind Kind;
};
extern const TPieceFile PIECE_FILES[6];

// The piece as the program loads it: one object, one material, moved to the baked
// placement.
TModel3DS PieceModel(TPieceKind kind);

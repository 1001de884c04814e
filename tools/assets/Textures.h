#pragma once
// Procedural woods and marbles, tileable on both axes (the pieces wrap them round,
// the board repeats them), and the five pictures of the classic board.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/Raster.h"

struct TWood {
  TRgb Light, Dark;  // early wood and the late-wood rings
  int Rings;         // rings across the picture
  std::uint32_t Seed;
};

struct TMarble {
  TRgb Base, Cloud, Vein;
  int SlopeX, SlopeY;  // the veins' direction, in whole turns across the picture
  double Turbulence;
  std::uint32_t Seed;
};

// The grain runs down the picture (along v).
TImage WoodImage(const TWood& wood, int size);
TImage MarbleImage(const TMarble& marble, int size);

enum class TTextureFormat { Jpeg, Bmp };
struct TTextureFile {
  std::string Name;  // "res/textures/boxwood.jpg"
  TTextureFormat Format;
  TImage Image;
};
std::vector<TTextureFile> TextureFiles();

// The classic board's picture n (1..5): 8 x 8 squares filling a 512 x 512 picture,
// a1 (bottom left) dark.
TImage ClassicBoardPicture(int n);
inline constexpr int CLASSIC_BOARD_SIDE = 512;

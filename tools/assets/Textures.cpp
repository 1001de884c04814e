#include "tools/assets/Textures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double PI = std::numbers::pi;

double Smooth(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// The wood's colour at (u, v) of a picture that repeats on both axes.
TRgb WoodAt(const TWood& wood, const TTileNoise& flow, const TTileNoise& fibre, double u, double v) {
  // Growth rings run down the picture as thin dark lines; slow noise bends them
  // all together, a little more noise lets each wander. A whole number of rings
  // across keeps the picture tileable.
  const double ring = u * wood.Rings + 1.1 * flow.Octaves(u * 2, v, 2) + 0.18 * flow.At(u * 8, v * 4);
  const double t = ring - std::floor(ring);
  const double late = Smooth(0.72, 0.96, t) * (1 - Smooth(0.96, 1.0, t));
  // Fibres: fine streaks along the grain.
  const double fibres = 0.5 + 0.5 * fibre.Octaves(u * 128, v * 4, 2);
  const double shade = 0.5 + 0.5 * flow.At(u * 4 + 0.5, v * 2 + 0.5);
  return Mix(wood.Light, wood.Dark, std::clamp(0.6 * late + 0.3 * fibres * fibres + 0.2 * shade, 0.0, 1.0));
}

TRgb MarbleAt(const TMarble& marble, const TTileNoise& noise, const TTileNoise& fine, double u, double v) {
  // Veins follow the zeros of a sine whose phase is bent by turbulence: long
  // smooth swings from the first octaves, a ragged edge from the last.
  double turbulence = 0, amplitude = 1;
  for (int o = 0; o < 5; ++o) {
    turbulence += amplitude * std::fabs(noise.At(u * 2 * (1 << o), v * 2 * (1 << o)));
    amplitude *= 0.5;
  }
  const double phase = marble.SlopeX * u + marble.SlopeY * v + marble.Turbulence * turbulence;
  const double vein = std::pow(1 - std::fabs(std::sin(PI * phase)), 10);
  const double thin =
      std::pow(1 - std::fabs(std::sin(PI * (3 * phase + 0.8 * fine.Octaves(u * 4, v * 4, 3)))), 28);
  const double cloud = 0.5 + 0.5 * fine.Octaves(u * 2, v * 2, 4);
  const TRgb base = Mix(marble.Base, marble.Cloud, cloud);
  return Mix(base, marble.Vein, std::clamp(0.9 * vein + 0.35 * thin, 0.0, 1.0));
}

}  // namespace

TImage WoodImage(const TWood& wood, int size) {
  const TTileNoise flow(8, 4, wood.Seed), fibre(128, 4, wood.Seed + 1);
  TImage image(size, size);
  image.Fill([&](double u, double v) { return WoodAt(wood, flow, fibre, u, v); });
  return image;
}

TImage MarbleImage(const TMarble& marble, int size) {
  const TTileNoise noise(2, 2, marble.Seed), fine(4, 4, marble.Seed + 1);
  TImage image(size, size);
  image.Fill([&](double u, double v) { return MarbleAt(marble, noise, fine, u, v); });
  return image;
}

namespace {

const TWood BOXWOOD{Rgb255(240, 218, 170), Rgb255(200, 160, 100), 14, 11};
const TWood MAPLE{Rgb255(244, 226, 188), Rgb255(206, 170, 118), 18, 12};
const TWood WALNUT{Rgb255(128, 86, 54), Rgb255(58, 34, 20), 12, 13};
const TWood ROSEWOOD{Rgb255(136, 60, 38), Rgb255(62, 22, 14), 16, 14};
const TWood EBONY{Rgb255(58, 48, 42), Rgb255(18, 14, 13), 20, 15};
const TMarble WHITE_MARBLE{Rgb255(240, 238, 232), Rgb255(226, 224, 220), Rgb255(140, 140, 150), 1, 2, 1.6, 21};
const TMarble BLACK_MARBLE{Rgb255(30, 29, 32), Rgb255(48, 46, 50), Rgb255(200, 196, 190), 2, 1, 1.7, 22};
const TMarble GREEN_MARBLE{Rgb255(36, 88, 66), Rgb255(58, 116, 88), Rgb255(196, 220, 202), 1, 1, 1.8, 23};
const TMarble CREAM_MARBLE{Rgb255(234, 222, 192), Rgb255(216, 202, 170), Rgb255(168, 146, 116), 2, 1, 1.5, 24};

}  // namespace

std::vector<TTextureFile> TextureFiles() {
  constexpr int SIZE = 256;
  std::vector<TTextureFile> files;
  auto add = [&](std::string name, TTextureFormat format, TImage image) {
    files.push_back({"res/textures/" + name, format, std::move(image)});
  };
  // Piece textures: JPEG, the grain upright when wrapped round a piece.
  add("boxwood.jpg", TTextureFormat::Jpeg, WoodImage(BOXWOOD, SIZE));
  add("ebony.jpg", TTextureFormat::Jpeg, WoodImage(EBONY, SIZE));
  add("rosewood.jpg", TTextureFormat::Jpeg, WoodImage(ROSEWOOD, SIZE));
  add("white-marble.jpg", TTextureFormat::Jpeg, MarbleImage(WHITE_MARBLE, SIZE));
  add("black-marble.jpg", TTextureFormat::Jpeg, MarbleImage(BLACK_MARBLE, SIZE));
  // Board textures: BMP, which the board's texture dialog offers.
  add("maple.bmp", TTextureFormat::Bmp, WoodImage(MAPLE, SIZE));
  add("walnut.bmp", TTextureFormat::Bmp, WoodImage(WALNUT, SIZE));
  add("white-marble.bmp", TTextureFormat::Bmp, MarbleImage(WHITE_MARBLE, SIZE));
  add("black-marble.bmp", TTextureFormat::Bmp, MarbleImage(BLACK_MARBLE, SIZE));
  add("green-marble.bmp", TTextureFormat::Bmp, MarbleImage(GREEN_MARBLE, SIZE));
  add("cream-marble.bmp", TTextureFormat::Bmp, MarbleImage(CREAM_MARBLE, SIZE));
  return files;
}

TImage ClassicBoardPicture(int n) {
  constexpr int SIDE = CLASSIC_BOARD_SIDE, SQUARE = SIDE / 8;
  // Each style colours a pixel from its square's colour, the place inside the
  // square (0..1) and the square's number, so that textured squares differ.
  std::function<TRgb(bool dark, double u, double v, int square)> colour;
  switch (n) {
    case 1: {  // Wood: maple and walnut, the grain turning from square to square.
      const TTileNoise flow(8, 4, 31), fibre(128, 4, 32);
      colour = [=](bool dark, double u, double v, int square) {
        const double du = (square * 37 % 8) / 8.0, dv = (square * 11 % 8) / 8.0;
        const bool across = square % 2 == 1;
        const double a = (across ? v : u) / 4 + du, b = (across ? u : v) / 4 + dv;
        return WoodAt(dark ? WALNUT : MAPLE, flow, fibre, a, b);
      };
      break;
    }
    case 2: {  // Marble: white and black.
      const TTileNoise noise(2, 2, 41), fine(4, 4, 42);
      colour = [=](bool dark, double u, double v, int square) {
        const double du = (square * 5 % 8) / 8.0, dv = (square * 3 % 8) / 8.0;
        return MarbleAt(dark ? BLACK_MARBLE : WHITE_MARBLE, noise, fine, u / 3 + du, v / 3 + dv);
      };
      break;
    }
    case 3:  // Plain: the tournament colours, cream and green.
      colour = [](bool dark, double, double, int) { return dark ? Rgb255(118, 150, 86) : Rgb255(238, 238, 210); };
      break;
    case 4:  // Plain: pale grey and slate blue.
      colour = [](bool dark, double, double, int) { return dark ? Rgb255(120, 146, 170) : Rgb255(226, 230, 234); };
      break;
    default: {  // Dark wood: boxwood and rosewood.
      const TTileNoise flow(8, 4, 51), fibre(128, 4, 52);
      colour = [=](bool dark, double u, double v, int square) {
        const double du = (square * 13 % 8) / 8.0;
        return WoodAt(dark ? ROSEWOOD : BOXWOOD, flow, fibre, u / 4 + du, v / 4 + du);
      };
      break;
    }
  }
  TImage image(SIDE, SIDE);
  for (int y = 0; y < SIDE; ++y)
    for (int x = 0; x < SIDE; ++x) {
      // The a-file on the left, rank 1 at the bottom; a1 is dark.
      const int file = x / SQUARE, rank = 7 - y / SQUARE;
      const bool dark = (file + rank) % 2 == 0;
      const double u = (x % SQUARE + 0.5) / SQUARE, v = (y % SQUARE + 0.5) / SQUARE;
      image.Set(x, y, colour(dark, u, v, rank * 8 + file));
    }
  return image;
}

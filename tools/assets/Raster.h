#pragma once
// Pictures for the generator and the render tool: an RGBA image in memory, written
// as PNG (our own writer, uncompressed deflate blocks), 24-bit BMP (the picture
// unit's writer) or JPEG (libjpeg); tileable noise; and a small anti-aliased
// painter for the tool-bar images.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct TRgb {
  double R = 0, G = 0, B = 0;
};

inline TRgb operator+(TRgb a, TRgb b) { return {a.R + b.R, a.G + b.G, a.B + b.B}; }
inline TRgb operator*(TRgb a, double f) { return {a.R * f, a.G * f, a.B * f}; }
inline TRgb Mix(TRgb a, TRgb b, double t) { return a * (1 - t) + b * t; }
// A colour from 0..255 components.
constexpr TRgb Rgb255(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

class TImage {
public:
  TImage(int width, int height) : FWidth(width), FHeight(height), FPixels(std::size_t(width) * height * 4, 0) {}
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // (0, 0) is the top-left pixel; components 0..1, clamped.
  void Set(int x, int y, TRgb c, double alpha = 1);
  TRgb Get(int x, int y) const;
  double Alpha(int x, int y) const;
  // Fills every pixel from its centre's place (u, v), both 0..1 across the image.
  void Fill(const std::function<TRgb(double u, double v)>& colour);
  // Top row first, four bytes a pixel.
  const std::vector<std::uint8_t>& Pixels() const { return FPixels; }

private:
  std::uint8_t* At(int x, int y) { return &FPixels[(std::size_t(y) * FWidth + x) * 4]; }
  const std::uint8_t* At(int x, int y) const { return &FPixels[(std::size_t(y) * FWidth + x) * 4]; }
  int FWidth, FHeight;
  std::vector<std::uint8_t> FPixels;
};

std::string PngFileBytes(const TImage& image);
// The colours of the image, alpha dropped.
std::string BmpFileBytes(const TImage& image);
std::string JpegFileBytes(const TImage& image, int quality);
// Writes the bytes to the file, replacing it.
void SaveBytes(const std::string& fileName, const std::string& bytes);

// Gradient noise, about -1..1, that repeats every `periodX` units along x and
// every `periodY` along y; Octaves adds `octaves` layers of halving amplitude and
// doubling frequency.
class TTileNoise {
public:
  TTileNoise(int periodX, int periodY, std::uint32_t seed);
  double At(double x, double y) const;
  double Octaves(double x, double y, int octaves) const;

private:
  int FPeriodX, FPeriodY;
  std::vector<std::pair<double, double>> FGradients;
};

// Paints shapes with 4 x 4 samples a pixel over what is there, in pixel units with
// (0, 0) the top-left corner of the image.
class TPainter {
public:
  explicit TPainter(TImage& image) : FImage(image) {}
  // A shape given by its inside test; `colour` may vary over the picture.
  void Fill(const std::function<bool(double x, double y)>& inside,
            const std::function<TRgb(double x, double y)>& colour, double alpha = 1);
  void Polygon(const std::vector<std::pair<double, double>>& points, TRgb colour, double alpha = 1);
  void Circle(double cx, double cy, double r, TRgb colour, double alpha = 1);
  void Rectangle(double x0, double y0, double x1, double y1, TRgb colour, double alpha = 1);

private:
  TImage& FImage;
};

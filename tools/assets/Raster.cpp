#include "tools/assets/Raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include <jpeglib.h>

#include "base/Streams.h"
#include "scene/texture/Picture.h"

namespace {

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

}  // namespace

void TImage::Set(int x, int y, TRgb c, double alpha) {
  std::uint8_t* p = At(x, y);
  p[0] = Byte(c.R);
  p[1] = Byte(c.G);
  p[2] = Byte(c.B);
  p[3] = Byte(alpha);
}

TRgb TImage::Get(int x, int y) const {
  const std::uint8_t* p = At(x, y);
  return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
}

double TImage::Alpha(int x, int y) const { return At(x, y)[3] / 255.0; }

void TImage::Fill(const std::function<TRgb(double u, double v)>& colour) {
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x) Set(x, y, colour((x + 0.5) / FWidth, (y + 0.5) / FHeight));
}

// ---------------------------------------------------------------------------
// Files

namespace {

std::uint32_t Crc32(const std::string& data, std::size_t from) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i)
    c = table[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void BigEndian32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PngChunk(std::string& out, const char* type, const std::string& data) {
  BigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type, 4);
  out.append(data);
  BigEndian32(out, Crc32(out, start));
}

}  // namespace

std::string PngFileBytes(const TImage& image) {
  std::string raw;
  for (int y = 0; y < image.Height(); ++y) {
    raw.push_back(0);  // no filter
    const auto* row = image.Pixels().data() + std::size_t(y) * image.Width() * 4;
    raw.append(reinterpret_cast<const char*>(row), std::size_t(image.Width()) * 4);
  }
  // A zlib stream of stored blocks: no compression, but every reader takes it.
  std::string z = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    if (raw.empty()) break;
  }
  std::uint32_t a = 1, b = 0;
  for (char c : raw) {
    a = (a + static_cast<std::uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  BigEndian32(z, (b << 16) | a);
  std::string header;
  BigEndian32(header, static_cast<std::uint32_t>(image.Width()));
  BigEndian32(header, static_cast<std::uint32_t>(image.Height()));
  header += std::string{8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PngChunk(png, "IHDR", header);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", "");
  return png;
}

std::string BmpFileBytes(const TImage& image) {
  TBitmap bitmap(image.Width(), image.Height(), pf24bit);
  for (int y = 0; y < image.Height(); ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < image.Width(); ++x) {
      const std::uint8_t* p = image.Pixels().data() + (std::size_t(y) * image.Width() + x) * 4;
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream.Bytes();
}

std::string JpegFileBytes(const TImage& image, int quality) {
  jpeg_compress_struct jpeg{};
  jpeg_error_mgr errors{};
  jpeg.err = jpeg_std_error(&errors);
  jpeg_create_compress(&jpeg);
  unsigned char* data = nullptr;
  unsigned long length = 0;
  jpeg_mem_dest(&jpeg, &data, &length);
  jpeg.image_width = static_cast<JDIMENSION>(image.Width());
  jpeg.image_height = static_cast<JDIMENSION>(image.Height());
  jpeg.input_components = 3;
  jpeg.in_color_space = JCS_RGB;
  jpeg_set_defaults(&jpeg);
  jpeg_set_quality(&jpeg, quality, TRUE);
  jpeg_start_compress(&jpeg, TRUE);
  std::vector<std::uint8_t> rgb(std::size_t(image.Width()) * 3);
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x)
      for (int k = 0; k < 3; ++k) rgb[3 * x + k] = image.Pixels()[(std::size_t(y) * image.Width() + x) * 4 + k];
    JSAMPROW rows[1] = {rgb.data()};
    jpeg_write_scanlines(&jpeg, rows, 1);
  }
  jpeg_finish_compress(&jpeg);
  jpeg_destroy_compress(&jpeg);
  std::string bytes(reinterpret_cast<const char*>(data), length);
  std::free(data);
  return bytes;
}

void SaveBytes(const std::string& fileName, const std::string& bytes) {
  TReplacingFileStream file(fileName);
  file.WriteBuffer(bytes.data(), bytes.size());
  file.Commit();
}

// ---------------------------------------------------------------------------
// Noise

TTileNoise::TTileNoise(int periodX, int periodY, std::uint32_t seed) : FPeriodX(periodX), FPeriodY(periodY) {
  std::uint32_t state = seed * 2654435761u + 12345u;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (int i = 0; i < periodX * periodY; ++i) {
    const double a = (next() % 65536) / 65536.0 * 2 * std::numbers::pi;
    FGradients.emplace_back(std::cos(a), std::sin(a));
  }
}

double TTileNoise::At(double x, double y) const {
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  auto wrap = [](double v, int period) { return ((static_cast<long>(v) % period) + period) % period; };
  auto dot = [&](double cx, double cy, double dx, double dy) {
    const auto& g = FGradients[wrap(cy, FPeriodY) * FPeriodX + wrap(cx, FPeriodX)];
    return g.first * dx + g.second * dy;
  };
  auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
  const double n00 = dot(fx, fy, tx, ty), n10 = dot(fx + 1, fy, tx - 1, ty);
  const double n01 = dot(fx, fy + 1, tx, ty - 1), n11 = dot(fx + 1, fy + 1, tx - 1, ty - 1);
  const double u = fade(tx), v = fade(ty);
  return 1.4 * ((n00 * (1 - u) + n10 * u) * (1 - v) + (n01 * (1 - u) + n11 * u) * v);
}

double TTileNoise::Octaves(double x, double y, int octaves) const {
  double sum = 0, amplitude = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    // Doubling the frequency keeps the period a whole number of lattice cells.
    sum += amplitude * At(x * (1 << o), y * (1 << o));
    norm += amplitude;
    amplitude *= 0.5;
  }
  return sum / norm;
}

// ---------------------------------------------------------------------------
// Painter

namespace {

// Whether (x, y) lies inside the polygon (even-odd rule).
bool InsidePolygon(const std::vector<std::pair<double, double>>& points, double x, double y) {
  bool inside = false;
  for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
    const auto [xi, yi] = points[i];
    const auto [xj, yj] = points[j];
    if ((yi > y) != (yj > y) && x < xi + (y - yi) * (xj - xi) / (yj - yi)) inside = !inside;
  }
  return inside;
}

}  // namespace

void TPainter::Fill(const std::function<bool(double x, double y)>& inside,
                    const std::function<TRgb(double x, double y)>& colour, double alpha) {
  constexpr int N = 4;
  for (int py = 0; py < FImage.Height(); ++py)
    for (int px = 0; px < FImage.Width(); ++px) {
      int hits = 0;
      for (int sy = 0; sy < N; ++sy)
        for (int sx = 0; sx < N; ++sx) hits += inside(px + (sx + 0.5) / N, py + (sy + 0.5) / N);
      if (hits == 0) continue;
      const double cover = alpha * hits / (N * N);
      const TRgb c = colour(px + 0.5, py + 0.5);
      // "Over" compositing with straight alpha.
      const double under = FImage.Alpha(px, py), out = cover + under * (1 - cover);
      const TRgb mixed = out > 0 ? (c * cover + FImage.Get(px, py) * (under * (1 - cover))) * (1 / out) : c;
      FImage.Set(px, py, mixed, out);
    }
}

void TPainter::Polygon(const std::vector<std::pair<double, double>>& points, TRgb colour, double alpha) {
  Fill([&](double x, double y) { return InsidePolygon(points, x, y); }, [&](double, double) { return colour; }, alpha);
}

void TPainter::Circle(double cx, double cy, double r, TRgb colour, double alpha) {
  Fill([&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
       [&](double, double) { return colour; }, alpha);
}

void TPainter::Rectangle(double x0, double y0, double x1, double y1, TRgb colour, double alpha) {
  Fill([&](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; },
       [&](double, double) { return colour; }, alpha);
}

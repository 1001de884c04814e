#include "scene/texture/Picture.h"

#include "base/Strings.h"

#include <climits>
#include <cstring>

namespace {

// BMP files: a 14-byte file header, then an information header whose first four
// bytes give its size; 40 is the common form, 52, 56, 108 and 124 extend it.
constexpr std::size_t FILE_HEADER_SIZE = 14;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
// The picture file we read whole into memory may hold the largest picture with
// four bytes a pixel, plus headers and palette.
constexpr std::int64_t MAX_PICTURE_FILE_SIZE = MAX_PICTURE_PIXELS * 4 + (1 << 20);

std::uint16_t U16At(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  return std::uint32_t(U16At(bytes, at)) | (std::uint32_t(U16At(bytes, at + 2)) << 16);
}

void PutU16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

[[noreturn]] void Invalid(const std::string& name, const std::string& what) {
  throw EInvalidPicture("Invalid picture file " + name + ": " + what);
}

int BitsOf(TPixelFormat format) { return format == pf8bit ? 8 : format == pf24bit ? 24 : 32; }

// Bytes of one BMP row: whole 32-bit words.
std::int64_t BmpRowSize(std::int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

bool TooLarge(std::int64_t width, std::int64_t height) {
  return width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE || width * height > MAX_PICTURE_PIXELS;
}

std::string TooLargeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the largest picture (" +
         std::to_string(MAX_PICTURE_SIDE) + " on a side, " + std::to_string(MAX_PICTURE_PIXELS) + " pixels)";
}

// The colour masks of a 32-bit BI_BITFIELDS file must be the plain BGRA layout.
void CheckBitFields(const std::string& bytes, std::size_t at, const std::string& name) {
  if (bytes.size() < at + 12) Invalid(name, "the colour masks are cut short");
  if (U32At(bytes, at) != 0x00FF0000 || U32At(bytes, at + 4) != 0x0000FF00 || U32At(bytes, at + 8) != 0x000000FF)
    Invalid(name, "colour masks other than 8 bits each of red, green and blue are not supported");
}

}  // namespace

// ---------------------------------------------------------------------------
// TBitmap

int TBitmap::BytesPerPixel() const { return BitsOf(FPixelFormat) / 8; }

void TBitmap::SetSize(int width, int height, TPixelFormat format) {
  if (width < 0 || height < 0)
    throw EInvalidPicture("A bitmap cannot be " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  if (TooLarge(width, height)) throw EInvalidPicture("A bitmap of " + TooLargeText(width, height));
  FPixelFormat = format;
  FWidth = width;
  FHeight = height;
  FPixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * std::size_t(BytesPerPixel()), 0);
}

std::uint8_t* TBitmap::ScanLine(int row) {
  return const_cast<std::uint8_t*>(static_cast<const TBitmap*>(this)->ScanLine(row));
}

const std::uint8_t* TBitmap::ScanLine(int row) const {
  if (row < 0 || row >= FHeight) throw ERangeError();
  return FPixels.data() + std::size_t(row) * std::size_t(FWidth) * std::size_t(BytesPerPixel());
}

TBGRPixel TBitmap::PixelColor(int x, int y) const {
  const std::uint8_t* p = ScanLine(y) + std::size_t(x) * std::size_t(BytesPerPixel());
  if (FPixelFormat == pf8bit) {
    const TPaletteEntry& entry = FPalette[*p];
    return {entry.Blue, entry.Green, entry.Red};
  }
  return {p[0], p[1], p[2]};
}

void TBitmap::StretchDraw(const TBitmap& source) {
  if (Empty() || source.Empty()) return;
  BRV_ASSERT_MSG(FPixelFormat != pf8bit, "TBitmap::StretchDraw(): cannot draw into a palette bitmap");
  const int bpp = BytesPerPixel();
  for (int y = 0; y < FHeight; ++y) {
    const int sy = static_cast<int>(std::int64_t(y) * source.FHeight / FHeight);
    std::uint8_t* row = ScanLine(y);
    for (int x = 0; x < FWidth; ++x) {
      const int sx = static_cast<int>(std::int64_t(x) * source.FWidth / FWidth);
      const TBGRPixel c = source.PixelColor(sx, sy);
      std::uint8_t* p = row + std::size_t(x) * std::size_t(bpp);
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
      if (bpp == 4) p[3] = 255;
    }
  }
}

void TBitmap::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TBitmap*>(source)) {
    if (other == this) return;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FPixelFormat = other->FPixelFormat;
    FPixels = other->FPixels;
    FPalette = other->FPalette;
    return;
  }
  TPersistent::Assign(source);
}

void TBitmap::LoadFromStream(TStream& stream) {
  const std::int64_t left = stream.BytesLeft();
  if (left > MAX_PICTURE_FILE_SIZE)
    Invalid("in a stream", std::to_string(left) + " bytes, more than the largest picture file");
  std::string bytes(static_cast<std::size_t>(left), '\0');
  stream.ReadBuffer(bytes.data(), bytes.size());
  TBitmap decoded;
  DecodeBitmapFile(bytes, "in a stream", decoded);
  Assign(&decoded);
}

void TBitmap::SaveToStream(TStream& stream) const {
  const int bits = BitsOf(FPixelFormat);
  const std::int64_t rowSize = BmpRowSize(FWidth, bits);
  const std::uint32_t paletteSize = FPixelFormat == pf8bit ? 256 * 4 : 0;
  const std::uint32_t offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE + paletteSize;
  const std::int64_t imageSize = rowSize * FHeight;
  std::string out;
  out.reserve(static_cast<std::size_t>(offset + imageSize));
  out += "BM";
  PutU32(out, static_cast<std::uint32_t>(offset + imageSize));
  PutU32(out, 0);
  PutU32(out, offset);
  PutU32(out, INFO_HEADER_SIZE);
  PutU32(out, static_cast<std::uint32_t>(FWidth));
  PutU32(out, static_cast<std::uint32_t>(FHeight));
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint32_t>(bits));
  PutU32(out, BI_RGB);
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutU32(out, 2835);  // 72 dots per inch, in dots per metre
  PutU32(out, 2835);
  PutU32(out, FPixelFormat == pf8bit ? 256 : 0);
  PutU32(out, 0);
  if (FPixelFormat == pf8bit)
    for (const TPaletteEntry& e : FPalette) out += {char(e.Blue), char(e.Green), char(e.Red), char(0)};
  const std::size_t used = std::size_t(FWidth) * std::size_t(BytesPerPixel());
  for (int row = FHeight - 1; row >= 0; --row) {
    out.append(reinterpret_cast<const char*>(ScanLine(row)), used);
    out.append(static_cast<std::size_t>(rowSize) - used, '\0');
  }
  stream.WriteBuffer(out.data(), out.size());
}

void DecodeBitmapFile(const std::string& bytes, const std::string& name, TBitmap& bitmap) {
  if (bytes.size() < FILE_HEADER_SIZE + 4)
    Invalid(name, "the file has " + std::to_string(bytes.size()) + " bytes, too few for the BMP headers");
  if (bytes[0] != 'B' || bytes[1] != 'M') Invalid(name, "it does not start with the BMP signature \"BM\"");
  const std::uint32_t pixelOffset = U32At(bytes, 10);
  const std::uint32_t headerSize = U32At(bytes, FILE_HEADER_SIZE);
  if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
    Invalid(name, "unsupported information header of " + std::to_string(headerSize) + " bytes");
  if (bytes.size() < FILE_HEADER_SIZE + headerSize)
    Invalid(name, "the information header of " + std::to_string(headerSize) + " bytes is cut short");

  const std::size_t h = FILE_HEADER_SIZE;
  const std::int32_t width = static_cast<std::int32_t>(U32At(bytes, h + 4));
  const std::int32_t signedHeight = static_cast<std::int32_t>(U32At(bytes, h + 8));
  const std::uint16_t bits = U16At(bytes, h + 14);
  const std::uint32_t compression = U32At(bytes, h + 16);
  const std::uint32_t colorsUsed = U32At(bytes, h + 32);

  if (width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
    Invalid(name, "invalid size " + std::to_string(width) + " x " + std::to_string(signedHeight));
  // A negative height marks rows stored top row first.
  const bool topDown = signedHeight < 0;
  const std::int64_t height = topDown ? -std::int64_t(signedHeight) : signedHeight;
  if (TooLarge(width, height)) Invalid(name, TooLargeText(width, height));

  TPixelFormat format;
  switch (bits) {
    case 8: format = pf8bit; break;
    case 24: format = pf24bit; break;
    case 32: format = pf32bit; break;
    default: Invalid(name, std::to_string(bits) + " bits per pixel; 8, 24 and 32 are read");
  }
  std::size_t paletteAt = h + headerSize;
  if (compression == BI_BITFIELDS && format == pf32bit) {
    // The masks follow a 40-byte header; the longer headers hold them.
    CheckBitFields(bytes, h + 40, name);
    if (headerSize == INFO_HEADER_SIZE) paletteAt += 12;
  } else if (compression != BI_RGB) {
    Invalid(name, "compression method " + std::to_string(compression) + " is not supported");
  }

  bitmap.SetSize(width, static_cast<int>(height), format);
  bitmap.Palette().fill({});
  if (format == pf8bit) {
    const std::uint32_t count = colorsUsed == 0 ? 256 : colorsUsed;
    if (count > 256) Invalid(name, "a palette of " + std::to_string(count) + " colours, more than 256");
    if (bytes.size() < paletteAt + std::size_t(count) * 4)
      Invalid(name, "the palette of " + std::to_string(count) + " colours is cut short");
    // Entries the file does not give stay black, so that any index reads a colour.
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t at = paletteAt + i * 4;
      bitmap.Palette()[i] = {std::uint8_t(bytes[at]), std::uint8_t(bytes[at + 1]), std::uint8_t(bytes[at + 2]), 0};
    }
  }

  const std::int64_t rowSize = BmpRowSize(width, bits);
  const std::int64_t used = std::int64_t(width) * (bits / 8);
  // Some writers leave out the padding of the last row.
  const std::int64_t needed = std::int64_t(pixelOffset) + rowSize * (height - 1) + used;
  if (needed > static_cast<std::int64_t>(bytes.size()))
    Invalid(name, "the pixels need " + std::to_string(needed) + " bytes, the file has " + std::to_string(bytes.size()));
  for (std::int64_t fileRow = 0; fileRow < height; ++fileRow) {
    const std::int64_t row = topDown ? fileRow : height - 1 - fileRow;
    std::memcpy(bitmap.ScanLine(static_cast<int>(row)), bytes.data() + pixelOffset + fileRow * rowSize,
                static_cast<std::size_t>(used));
  }
}

// ---------------------------------------------------------------------------
// TPicture

void TPicture::SetGraphic(const TBitmap* graphic) {
  if (graphic == FGraphic.get()) return;
  if (graphic) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(graphic);
    FGraphic = std::move(copy);
  } else {
    FGraphic.reset();
  }
  Changed();
}

void TPicture::Assign(const TPersistent* source) {
  if (source == nullptr)
    SetGraphic(nullptr);
  else if (auto* picture = dynamic_cast<const TPicture*>(source))
    SetGraphic(picture->Graphic());
  else if (auto* bitmap = dynamic_cast<const TBitmap*>(source))
    SetGraphic(bitmap);
  else
    TPersistent::Assign(source);
}

void TPicture::Clear() { SetGraphic(nullptr); }

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string extension = LowerCaseFileExtension(fileName);
  const bool jpeg = extension == ".jpg" || extension == ".jpeg";
  if (!jpeg && extension != ".bmp")
    throw EInvalidPicture("Unknown picture file extension (" + extension + ") of " + fileName);
  TFileStream file(fileName, TFileMode::OpenRead);
  const std::int64_t size = file.Size();
  if (size > MAX_PICTURE_FILE_SIZE)
    Invalid(fileName, std::to_string(size) + " bytes, more than the largest picture file");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.ReadBuffer(bytes.data(), bytes.size());
  auto decoded = std::make_unique<TBitmap>();
  if (jpeg)
    DecodeJpegFile(bytes, fileName, *decoded);
  else
    DecodeBitmapFile(bytes, fileName, *decoded);
  FGraphic = std::move(decoded);
  Changed();
}

void TPicture::SaveToFile(const std::string& fileName) const {
  const std::string extension = LowerCaseFileExtension(fileName);
  if (extension != ".bmp")
    throw EInvalidPicture("Pictures are saved as BMP files only; cannot save " + fileName);
  if (!FGraphic) return;
  TReplacingFileStream file(fileName);
  FGraphic->SaveToStream(file);
  file.Commit();
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

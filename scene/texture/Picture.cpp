#include "scene/texture/Picture.h"

#include "base/Strings.h"

#include "PictureFiles.h"

#include <algorithm>

namespace {

// The picture file we read whole into memory may hold the largest picture with
// four bytes a pixel, plus headers and palette.
constexpr std::int64_t MAX_PICTURE_FILE_SIZE = MAX_PICTURE_PIXELS * 4 + (1 << 20);

// The limit a picture of width x height pixels passes, in words; "" within them.
std::string LimitPassed(std::int64_t width, std::int64_t height) {
  if (width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE)
    return "at most " + std::to_string(MAX_PICTURE_SIDE) + " pixels on a side";
  if (width * height > MAX_PICTURE_PIXELS) return "at most " + std::to_string(MAX_PICTURE_PIXELS) + " pixels in all";
  return std::string();
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  std::string text = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE) text += ", " + std::to_string(width * height) + " in all";
  return text;
}

// Formats told apart by their first bytes.
struct TSignature {
  const char* Format;
  std::string Bytes;
  std::size_t At;  // where the bytes stand in the file
};

const TSignature SIGNATURES[] = {
    {"BMP", "BM", 0},          {"JPEG", "\xFF\xD8", 0},        {"PNG", "\x89PNG", 0},
    {"GIF", "GIF8", 0},        {"TIFF", std::string("II*\0", 4), 0}, {"TIFF", std::string("MM\0*", 4), 0},
    {"WebP", "WEBP", 8},
};

bool HasSignature(const std::string& bytes, const TSignature& signature) {
  return bytes.size() >= signature.At + signature.Bytes.size() &&
         bytes.compare(signature.At, signature.Bytes.size(), signature.Bytes) == 0;
}

std::string HexBytes(const std::string& bytes, std::size_t count) {
  static const char DIGITS[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < std::min(count, bytes.size()); ++i) {
    if (i > 0) text += ' ';
    text += DIGITS[std::uint8_t(bytes[i]) >> 4];
    text += DIGITS[std::uint8_t(bytes[i]) & 15];
  }
  return text;
}

// True for a JPEG file's name, false for a BMP file's; refuses any other name.
bool IsJpegFileName(const std::string& fileName) {
  const std::string extension = LowerCaseFileExtension(fileName);
  if (extension == ".jpg" || extension == ".jpeg") return true;
  if (extension == ".bmp") return false;
  RefusePicture(fileName, (extension.empty() ? "its name has no extension" : "its name ends in " + extension) + "; " +
                              PICTURE_FILES_READ);
}

// The rest of a picture stream, refused when it is larger than any picture we read.
std::string ReadPictureBytes(TStream& stream, const std::string& name) {
  const std::int64_t left = stream.BytesLeft();
  if (left > MAX_PICTURE_FILE_SIZE)
    RefusePicture(name, "it has " + std::to_string(left) + " bytes, more than the largest picture read");
  std::string bytes(static_cast<std::size_t>(left), '\0');
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// What the readers share

void RefusePicture(const std::string& name, const std::string& what) {
  throw EInvalidPicture("Cannot read the picture " + (name.empty() ? "in a stream" : "file " + name) + ": " + what);
}

bool PictureTooLarge(std::int64_t width, std::int64_t height) {
  return width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE || width * height > MAX_PICTURE_PIXELS;
}

void CheckPictureSize(const std::string& name, std::int64_t width, std::int64_t height) {
  if (PictureTooLarge(width, height))
    RefusePicture(name, "it is " + SizeText(width, height) + "; pictures of " + LimitPassed(width, height) + " are read");
}

void CheckPictureFormat(const std::string& name, const std::string& bytes, const std::string& format) {
  if (bytes.empty()) RefusePicture(name, "the file is empty");
  const TSignature* expected = nullptr;
  for (const TSignature& signature : SIGNATURES)
    if (signature.Format == format) expected = &signature;
  BRV_ASSERT_MSG(expected != nullptr, "CheckPictureFormat(): no signature of " + format);
  if (HasSignature(bytes, *expected)) return;
  for (const TSignature& signature : SIGNATURES)
    if (HasSignature(bytes, signature)) {
      const std::string extension = LowerCaseFileExtension(name);
      RefusePicture(name, std::string("it is a ") + signature.Format + " file" +
                              (extension.empty() ? "" : " named " + extension) + "; " + PICTURE_FILES_READ);
    }
  RefusePicture(name, "it is not a " + format + " file: " + format + " files start with the bytes " +
                          HexBytes(expected->Bytes, 2) + ", this one with " + HexBytes(bytes, 2));
}

TPictureSize ReducedPictureSize(int width, int height, int maxSide) {
  if (maxSide <= 0 || (width <= maxSide && height <= maxSide)) return {width, height};
  // The shorter side in proportion, rounded to the nearest pixel.
  auto shorter = [maxSide](std::int64_t side, std::int64_t longer) {
    return static_cast<int>(std::max<std::int64_t>(1, (side * maxSide + longer / 2) / longer));
  };
  if (width >= height) return {maxSide, shorter(height, width)};
  return {shorter(width, height), maxSide};
}

void TPictureReducer::Start(int width, int height, TBitmap& target) {
  BRV_ASSERT_MSG(target.Width() <= width && target.Height() <= height && target.PixelFormat() != pf8bit,
                 "TPictureReducer::Start(): the bitmap is larger than the picture, or a palette bitmap");
  FTarget = &target;
  FWidth = width;
  FHeight = height;
  FBytesPerPixel = target.BytesPerPixel();
  FColumn.resize(static_cast<std::size_t>(width));
  FColumnCount.assign(static_cast<std::size_t>(target.Width()), 0);
  for (int x = 0; x < width; ++x) {
    FColumn[std::size_t(x)] = static_cast<int>(std::int64_t(x) * target.Width() / width);
    ++FColumnCount[std::size_t(FColumn[std::size_t(x)])];
  }
  FSums.assign(std::size_t(target.Width()) * std::size_t(FBytesPerPixel), 0);
  FRow = -1;
  FRowCount = 0;
}

void TPictureReducer::AddRow(int y, const std::uint8_t* row) noexcept {
  const int targetRow = static_cast<int>(std::int64_t(y) * FTarget->Height() / FHeight);
  if (targetRow != FRow) {
    if (FRow >= 0) WriteRow();
    FRow = targetRow;
  }
  const std::size_t bpp = std::size_t(FBytesPerPixel);
  for (int x = 0; x < FWidth; ++x, row += bpp) {
    std::uint64_t* sum = FSums.data() + std::size_t(FColumn[std::size_t(x)]) * bpp;
    for (std::size_t c = 0; c < bpp; ++c) sum[c] += row[c];
  }
  ++FRowCount;
}

void TPictureReducer::Finish() noexcept {
  if (FRow >= 0) WriteRow();
  FRow = -1;
}

void TPictureReducer::WriteRow() noexcept {
  const std::size_t bpp = std::size_t(FBytesPerPixel);
  // The rows gathered are within the bitmap: ScanLine raises nothing here.
  std::uint8_t* out = FTarget->ScanLine(FRow);
  for (std::size_t x = 0; x < FColumnCount.size(); ++x) {
    const std::uint64_t count = std::uint64_t(FColumnCount[x]) * std::uint64_t(FRowCount);
    for (std::size_t c = 0; c < bpp; ++c) {
      std::uint64_t& sum = FSums[x * bpp + c];
      out[x * bpp + c] = static_cast<std::uint8_t>((sum + count / 2) / count);
      sum = 0;
    }
  }
  FRowCount = 0;
}

// ---------------------------------------------------------------------------
// TBitmap

int TBitmap::BytesPerPixel() const { return FPixelFormat == pf8bit ? 1 : FPixelFormat == pf24bit ? 3 : 4; }

void TBitmap::SetSize(int width, int height, TPixelFormat format) {
  if (width < 0 || height < 0)
    throw EInvalidPicture("A bitmap cannot be " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  if (PictureTooLarge(width, height))
    throw EInvalidPicture("A bitmap of " + SizeText(width, height) + " is too large: bitmaps have " +
                          LimitPassed(width, height));
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
  TBitmap decoded;
  DecodeBitmapFile(ReadPictureBytes(stream, ""), "", decoded);
  Assign(&decoded);
}

void TBitmap::SaveToStream(TStream& stream) const {
  const std::string bytes = EncodeBitmapFile(*this);
  stream.WriteBuffer(bytes.data(), bytes.size());
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

void TPicture::LoadFromFile(const std::string& fileName, int maxSide) {
  // The extension first: a file we would not read is not opened.
  IsJpegFileName(fileName);
  TFileStream file(fileName, TFileMode::OpenRead);
  LoadFromFileContent(fileName, ReadPictureBytes(file, fileName), maxSide);
}

void TPicture::LoadFromFileContent(const std::string& fileName, const std::string& bytes, int maxSide) {
  auto decoded = std::make_unique<TBitmap>();
  if (IsJpegFileName(fileName))
    DecodeJpegFile(bytes, fileName, *decoded, maxSide);
  else
    DecodeBitmapFile(bytes, fileName, *decoded, maxSide);
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

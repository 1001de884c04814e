#pragma once
// What the BMP and JPEG readers share: the refusal and its texts, the size limits,
// and the formats told apart by their first bytes. Private to the picture unit.

#include "scene/texture/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

// Raises EInvalidPicture "Cannot read the picture file NAME: WHAT" ("the picture
// in a stream" for an empty name).
[[noreturn]] void RefusePicture(const std::string& name, const std::string& what);

// Whether a picture of width x height pixels passes the limits. Raises nothing
// and holds no object: the JPEG reader asks it between libjpeg's calls.
bool PictureTooLarge(std::int64_t width, std::int64_t height);
// Refuses a picture beyond the limits, naming the limit it passes.
void CheckPictureSize(const std::string& name, std::int64_t width, std::int64_t height);

// Refuses an empty file, and one that does not start with the signature of
// `format` ("BMP" or "JPEG"): by the format its first bytes show when we know it
// ("it is a PNG file named .jpg"), by those bytes otherwise.
void CheckPictureFormat(const std::string& name, const std::string& bytes, const std::string& format);

// Reduces a picture handed over row by row into a smaller bitmap: each pixel of
// the bitmap is the average of the pixels of the picture that fall into it. Rows
// are blue, green, red bytes, and alpha for a pf32bit bitmap. Start allocates, and
// may raise std::bad_alloc; AddRow and Finish raise nothing, so that the JPEG
// reader calls them between libjpeg's calls.
class TPictureReducer {
public:
  // A picture of width x height pixels into `target`, already of its reduced
  // size, no larger than the picture on either side, pf24bit or pf32bit.
  void Start(int width, int height, TBitmap& target);
  // Row `y` of the picture, 0 being the top row. Rows come in order, from the top
  // down or from the bottom up.
  void AddRow(int y, const std::uint8_t* row) noexcept;
  // Writes the last row of the bitmap.
  void Finish() noexcept;

private:
  void WriteRow() noexcept;

  TBitmap* FTarget = nullptr;
  int FWidth = 0, FHeight = 0, FBytesPerPixel = 3;
  std::vector<int> FColumn;           // the bitmap's column of each picture column
  std::vector<int> FColumnCount;      // picture columns in each bitmap column
  std::vector<std::uint64_t> FSums;   // of the bitmap row being gathered
  int FRow = -1;                      // that row; -1 before the first
  int FRowCount = 0;                  // picture rows gathered into it
};

// The BMP file of `bitmap`, as TBitmap::SaveToStream writes it.
std::string EncodeBitmapFile(const TBitmap& bitmap);

// What is read, for the messages that refuse a kind of file.
inline constexpr const char* PICTURE_FILES_READ = "BMP files (.bmp) and JPEG files (.jpg, .jpeg) are read";

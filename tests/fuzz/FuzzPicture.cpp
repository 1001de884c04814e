// libFuzzer targets of the picture readers, one per format (FUZZ_JPEG chooses):
// any input ends in a bitmap or in EInvalidPicture. Another exception, a crash or
// a sanitizer report is a finding. A bitmap read is also written as a BMP file by
// our writer and read again: the two must hold the same pixels. An input read
// whole is read reduced as well, to a third of its longer side, and must give a
// bitmap of the reduced size.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scene/texture/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TBitmap bitmap;
  try {
    if (FUZZ_JPEG)
      DecodeJpegFile(bytes, "fuzz.jpg", bitmap);
    else
      DecodeBitmapFile(bytes, "fuzz.bmp", bitmap);
  } catch (const EInvalidPicture&) {
    return 0;
  }
  const int maxSide = std::max(1, std::max(bitmap.Width(), bitmap.Height()) / 3);
  TBitmap reduced;
  if (FUZZ_JPEG)
    DecodeJpegFile(bytes, "fuzz.jpg", reduced, maxSide);
  else
    DecodeBitmapFile(bytes, "fuzz.bmp", reduced, maxSide);
  if (ReducedPictureSize(bitmap.Width(), bitmap.Height(), maxSide) != TPictureSize{reduced.Width(), reduced.Height()})
    __builtin_trap();
  TMemoryStream written;
  bitmap.SaveToStream(written);
  TBitmap again;
  DecodeBitmapFile(written.Bytes(), "again.bmp", again);
  TMemoryStream rewritten;
  again.SaveToStream(rewritten);
  if (rewritten.Bytes() != written.Bytes()) __builtin_trap();
  return 0;
}

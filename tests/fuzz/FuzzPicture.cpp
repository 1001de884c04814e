// libFuzzer targets of the picture readers, one per format (FUZZ_JPEG chooses):
// any input ends in a bitmap or in EInvalidPicture. Another exception, a crash or
// a sanitizer report is a finding. A bitmap read is also written as a BMP file by
// our writer and read again: the two must hold the same pixels.

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
  TMemoryStream written;
  bitmap.SaveToStream(written);
  TBitmap again;
  DecodeBitmapFile(written.Bytes(), "again.bmp", again);
  TMemoryStream rewritten;
  again.SaveToStream(rewritten);
  if (rewritten.Bytes() != written.Bytes()) __builtin_trap();
  return 0;
}

// libFuzzer targets of the picture readers, one per format (FUZZ_JPEG chooses):
// any input ends in a bitmap or in EInvalidPicture. Another exception, a crash or
// a sanitizer report is a finding. Run them with run.sh.

#include <cstddef>
#include <cstdint>
#include <string>

#include "scene/texture/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    TBitmap bitmap;
    if (FUZZ_JPEG)
      DecodeJpegFile(bytes, "fuzz.jpg", bitmap);
    else
      DecodeBitmapFile(bytes, "fuzz.bmp", bitmap);
  } catch (const EInvalidPicture&) {
  }
  return 0;
}

// libFuzzer target of the 3DS reader: any input ends in a model or in E3DSError.
// Another exception, a crash or a sanitizer report is a finding. Run it with run.sh.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/threeds/ReadAll3DS.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    TFile3DS file;
    file.LoadFromStream(stream);
    ReadAll3DS(file);
  } catch (const E3DSError&) {
  }
  return 0;
}

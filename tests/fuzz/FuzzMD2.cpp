// libFuzzer target of the MD2 reader: any input ends in a model whose indices stay
// inside its lists, or in EMD2Error. Another exception, a crash, a sanitizer report
// or a broken model is a finding. Run it with run.sh.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "meshes/md2/FileMD2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    TFileMD2 file;
    file.LoadFromStream(stream);
    for (const TMD2Triangle& triangle : file.Triangles())
      for (int index : triangle.VertexIndex)
        if (index < 0 || index >= file.VertexCount()) std::abort();
    for (const auto& frame : file.Frames())
      if (int(frame.size()) != file.VertexCount()) std::abort();
  } catch (const EMD2Error&) {
  }
  return 0;
}

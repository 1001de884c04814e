// libFuzzer target of one model reader through the mesh that loads it (md2, tin,
// ply, stl or smd, as FUZZ_FORMAT names it): any input ends in the reader's error
// or in an actor that draws and plays its frames through a recording GL table.
// Another exception, an assertion failure, a crash or a sanitizer report is a
// finding. Run it with run.sh.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <typeinfo>

#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "meshes/md2/FileMD2.h"
#include "tests/scene/support/RecordingGL.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool initialized = [] {
    InitializePersistentClasses();
    InitializeVectorLists();
    InitializeVectorFileObjects();
    return true;
  }();
  (void)initialized;
  static TRecordingGL gl;
  TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
  TActor actor(nullptr);
  try {
    actor.LoadFromStream("fuzz." FUZZ_FORMAT, stream);
  } catch (const EInvalidVectorFile&) {
    return 0;
  } catch (const EMD2Error&) {
    return 0;
  } catch (const Exception& e) {
    // The PLY and SMD readers raise the plain exception.
    if (typeid(e) == typeid(Exception)) return 0;
    throw;
  }
  gl.Clear();
  TRenderContextInfo rci;
  actor.SetAnimationMode(aamLoop);
  for (int step = 0; step < 3; ++step) {
    actor.EmitGeometry(rci);
    actor.StepFrames();
  }
  return 0;
}

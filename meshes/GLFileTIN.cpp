#include "meshes/GLFileTIN.h"

#include "ModelText.h"

void TGLTINVectorFile::LoadFromStream(TStream& stream) {
  const std::string text = ReadModelText(stream, "TIN");
  TMeshObject& mesh = TMeshObject::CreateOwned(MeshObjects());
  mesh.SetMode(dmTriangles);
  for (std::string_view line : ModelTextLines(text)) {
    if (line.substr(0, 2) != "t ") continue;
    const std::vector<std::string> fields = ModelTextFields(line.substr(2));
    if (fields.size() != 9) continue;
    TAffineVector p[3];
    for (int k = 0; k < 9; ++k) p[k / 3][k % 3] = FloatOrZero(fields[std::size_t(k)]);
    mesh.Vertices().Add3(p[0], p[1], p[2]);
    // A triangle without area has no normal rather than a NaN one.
    const TAffineVector normal = SafeNormalized(Vec3Cross(Vec3Sub(p[1], p[0]), Vec3Sub(p[2], p[0])));
    mesh.Normals().Add3(normal, normal, normal);
  }
}

#pragma once
// Helpers of the model reader tests: models loaded from bytes, and the texts of
// small models of every format that our own code or the tests write.

#include <cstring>
#include <memory>
#include <string>

#include "SupportMeshes.h"
#include "WriterMD2.h"
#include "meshes/GLFileSTL.h"

// A mesh of class TForm with the bytes loaded as the file `name`.
template <class TForm = TFreeForm>
std::unique_ptr<TForm> LoadModel(const std::string& name, const std::string& bytes) {
  auto form = std::make_unique<TForm>(nullptr);
  TStringStream stream(bytes);
  form->LoadFromStream(name, stream);
  return form;
}

// The centred cube as a free form, written as a binary STL file by our writer.
inline std::string CubeSTL() {
  TFreeForm form(nullptr);
  TMeshObject& object = TMeshObject::CreateOwned(form.MeshObjects());
  for (const auto& f : CUBE_FACES) object.Vertices().Add3(CUBE_CORNERS[f[0]], CUBE_CORNERS[f[1]], CUBE_CORNERS[f[2]]);
  TStringStream stream;
  form.SaveToStream("cube.stl", stream);
  return stream.DataString();
}

// The cube as an ASCII PLY text, with the line end given.
inline std::string CubePLY(const std::string& end = "\n") {
  std::string text = "ply" + end + "format ascii 1.0" + end + "comment a cube" + end + "element vertex 8" + end +
                     "property float x" + end + "property float y" + end + "property float z" + end +
                     "element face 12" + end + "property list uchar int vertex_indices" + end + "end_header" + end;
  for (const TAffineVector& v : CUBE_CORNERS)
    text += std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.z) + end;
  for (const auto& f : CUBE_FACES)
    text += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + end;
  return text;
}

// A two-bone SMD model: a root moved by (0, 0, 2) and an arm, a triangle on each,
// in two materials that need no texture file.
inline std::string ArmSMD(const std::string& end = "\n") {
  return "version 1" + end + "nodes" + end + "0 \"root\" -1" + end + "1 \"the arm\" 0" + end + "end" + end +
         "skeleton" + end + "time 0" + end + "0 0 0 2 0 0 0" + end + "1 1 0 0 0 0 1.5" + end + "end" + end +
         "triangles" + end + "null.bmp" + end + "0 0 0 2 0 0 1 0 0" + end + "0 1 0 2 0 0 1 1 0" + end +
         "0 0 1 2 0 0 1 0 1" + end + "NULL.BMP" + end + "1 1 0 2 0 0 1 0 0" + end + "1 3 0 2 0 0 1 1 0" + end +
         "1 1 1 4 0 0 1 0 1" + end + "end" + end;
}

// Poses of the arm's two bones, one per time, as an animation file holds them.
inline std::string ArmAnimationSMD(int poses) {
  std::string text = "version 1\nnodes\n0 \"root\" -1\n1 \"the arm\" 0\nend\nskeleton\n";
  for (int t = 0; t < poses; ++t)
    text += "time " + std::to_string(t) + "\n0 0 0 2 0 0 0\n1 1 0 0 0 0 " + std::to_string(0.1 * t) + "\n";
  return text + "end\n";
}

// The sample MD2 model as the format's tools end it: with the zero word that ends
// the GL commands (which some readers insist on) after the frames.
inline std::string ToolMD2(const TModelMD2& model) {
  std::string bytes = MD2Bytes(model) + std::string(4, '\0');
  const std::int32_t commands = 1, end = std::int32_t(bytes.size());
  std::memcpy(&bytes[9 * 4], &commands, 4);
  std::memcpy(&bytes[16 * 4], &end, 4);
  return bytes;
}

#include "tools/threeds/Writer3DS.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Streams.h"

// ---------------------------------------------------------------------------
// TChunkWriter3DS

namespace {

std::string TagAndName(std::uint16_t tag) {
  const std::string name = TagName(tag);
  return name.empty() ? TagText(tag) : TagText(tag) + " (" + name + ")";
}

}  // namespace

void TChunkWriter3DS::Begin(std::uint16_t tag) {
  if (!FOpen.empty()) {
    TOpenChunk& parent = FOpen.back();
    if (!parent.HasChild) CheckChildStart(parent);
    parent.HasChild = true;
    if (int order = ChunkOrder(tag); order != 0) {
      BRV_ASSERT_MSG(order >= parent.LastOrder, "TChunkWriter3DS::Begin(): " + TagAndName(tag) +
                                                    " is written after a sibling that the format puts after it");
      parent.LastOrder = order;
    }
  }
  FOpen.push_back({FData.size()});
  Value(tag);
  Value(std::uint32_t(0));
}

void TChunkWriter3DS::CheckChildStart(const TOpenChunk& parent) const {
  // The reader's rule is run on the parent as written so far, followed by the six
  // bytes of the child's header: it must put the first child right here.
  TMemoryStream bytes(FData.substr(parent.Start) + std::string(CHUNK_HEADER_SIZE, '\0'));
  TChunkNode node;
  std::memcpy(&node.Tag, FData.data() + parent.Start, sizeof node.Tag);
  node.Size = static_cast<std::uint32_t>(bytes.Size());
  const std::uint64_t written = FData.size() - parent.Start - CHUNK_HEADER_SIZE;
  const std::uint64_t expected = FirstChildOffset(bytes, node);
  BRV_ASSERT_MSG(expected == written, "TChunkWriter3DS::Begin(): " + TagAndName(node.Tag) + " holds " +
                                          std::to_string(written) + " bytes before its first child, but the reader " +
                                          (expected == node.Size - CHUNK_HEADER_SIZE
                                               ? std::string("reads no children there")
                                               : "looks for it after " + std::to_string(expected)));
}

void TChunkWriter3DS::End() {
  BRV_ASSERT_MSG(!FOpen.empty(), "TChunkWriter3DS::End(): no chunk is open");
  std::size_t start = FOpen.back().Start;
  FOpen.pop_back();
  std::size_t size = FData.size() - start;
  BRV_ASSERT_MSG(size <= UINT32_MAX, "TChunkWriter3DS::End(): chunk larger than 4 GiB");
  std::uint32_t size32 = static_cast<std::uint32_t>(size);
  std::memcpy(FData.data() + start + 2, &size32, sizeof size32);
}

void TChunkWriter3DS::String(std::string_view text) {
  BRV_ASSERT_MSG(text.find('\0') == std::string_view::npos, "TChunkWriter3DS::String(): text holds a zero byte");
  FData.append(text);
  FData.push_back('\0');
}

void TChunkWriter3DS::StringChunk(std::uint16_t tag, std::string_view text) {
  Begin(tag);
  String(text);
  End();
}

const std::string& TChunkWriter3DS::Data() const {
  BRV_ASSERT_MSG(FOpen.empty(), "TChunkWriter3DS::Data(): a chunk is still open");
  return FData;
}

void TChunkWriter3DS::SaveToFile(const std::string& fileName) const {
  TReplacingFileStream file(fileName);
  file.WriteBuffer(Data().data(), Data().size());
  file.Commit();
}

// ---------------------------------------------------------------------------
// Materials

namespace {

// A colour block with the exact float colour.
void WriteColorBlock(TChunkWriter3DS& w, std::uint16_t tag, const TColor3DS& color) {
  w.Begin(tag);
  w.Chunk(CHUNK_COLOR_F, color);
  w.End();
}

void WritePercentBlock(TChunkWriter3DS& w, std::uint16_t tag, float fraction) {
  w.Begin(tag);
  w.Chunk(CHUNK_PERCENT_F, fraction);
  w.End();
}

TColor24_3DS ColorBytes(const TColor3DS& c) {
  auto byte = [](float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  return {byte(c.R), byte(c.G), byte(c.B)};
}

std::uint16_t MapFlags(const TTextureMapRecord3DS& map) {
  std::uint16_t flags = 0;
  if (map.Tiling == TMapTiling3DS::Decal) flags |= 0x0011;
  if (map.Tiling == TMapTiling3DS::Both) flags |= 0x0001;
  if (map.IgnoreAlpha) flags |= 0x0100;
  if (map.Filter == TMapFilter3DS::SummedArea) flags |= 0x0020;
  if (map.Mirror) flags |= 0x0002;
  if (map.Negative) flags |= 0x0008;
  switch (map.Source) {
    case TMapSource3DS::RGB: break;
    case TMapSource3DS::Alpha: flags |= 0x0040; break;
    case TMapSource3DS::RGBTint: flags |= 0x0080; break;
    case TMapSource3DS::AlphaTint: flags |= 0x00C0; break;
    case TMapSource3DS::RGBLumaTint: flags |= 0x0200; break;
  }
  return flags;
}

// A map is written when it names a file or carries procedure data.
void WriteMap(TChunkWriter3DS& w, std::uint16_t tag, std::uint16_t procedureTag, const TTextureMapRecord3DS& map) {
  if (map.FileName.empty() && map.ProcedureData.empty()) return;
  w.Begin(tag);
  w.Chunk(CHUNK_PERCENT_F, map.Percent);
  w.StringChunk(CHUNK_MAP_FILE_NAME, map.FileName);
  w.Chunk(CHUNK_MAP_FLAGS, MapFlags(map));
  w.Chunk(CHUNK_MAP_BLUR, map.Blur);
  w.Chunk(CHUNK_MAP_U_SCALE, map.UScale);
  w.Chunk(CHUNK_MAP_V_SCALE, map.VScale);
  w.Chunk(CHUNK_MAP_U_OFFSET, map.UOffset);
  w.Chunk(CHUNK_MAP_V_OFFSET, map.VOffset);
  w.Chunk(CHUNK_MAP_ROTATION, map.Rotation);
  w.Chunk(CHUNK_MAP_TINT_1, ColorBytes(map.Tint1));
  w.Chunk(CHUNK_MAP_TINT_2, ColorBytes(map.Tint2));
  w.Chunk(CHUNK_MAP_RED_TINT, ColorBytes(map.RedTint));
  w.Chunk(CHUNK_MAP_GREEN_TINT, ColorBytes(map.GreenTint));
  w.Chunk(CHUNK_MAP_BLUE_TINT, ColorBytes(map.BlueTint));
  if (procedureTag != 0 && !map.ProcedureData.empty()) {
    w.Begin(procedureTag);
    w.Bytes(map.ProcedureData.data(), map.ProcedureData.size());
    w.End();
  }
  w.End();
}

// An empty chunk for each flag that is set.
template <class TRecord, std::size_t N>
void WriteFlagChunks(TChunkWriter3DS& w, const TRecord& record, const TFlagSlot3DS<TRecord> (&slots)[N]) {
  for (const TFlagSlot3DS<TRecord>& slot : slots)
    if (record.*slot.Flag) w.Empty(slot.Tag);
}

template <class T>
void CountedArray(TChunkWriter3DS& w, const std::vector<T>& items) {
  BRV_ASSERT_MSG(items.size() <= 0xFFFF, "WriteMesh3DS(): more than 65535 items in one array");
  w.Value(static_cast<std::uint16_t>(items.size()));
  w.Bytes(items.data(), items.size() * sizeof(T));
}

}  // namespace

void WriteMaterial3DS(TChunkWriter3DS& w, const TMaterialRecord3DS& m) {
  w.Begin(CHUNK_MAT_ENTRY);
  w.StringChunk(CHUNK_MAT_NAME, m.Name);
  WriteColorBlock(w, CHUNK_MAT_AMBIENT, m.Ambient);
  WriteColorBlock(w, CHUNK_MAT_DIFFUSE, m.Diffuse);
  WriteColorBlock(w, CHUNK_MAT_SPECULAR, m.Specular);
  WritePercentBlock(w, CHUNK_MAT_SHININESS, m.Shininess);
  WritePercentBlock(w, CHUNK_MAT_SHIN_STRENGTH, m.ShininessStrength);
  // A negative transparency is stored as its magnitude followed by the chunk that negates it.
  WritePercentBlock(w, CHUNK_MAT_TRANSPARENCY, std::fabs(m.Transparency));
  if (std::signbit(m.Transparency)) w.Empty(CHUNK_MAT_TRANS_IN);
  WritePercentBlock(w, CHUNK_MAT_TRANS_FALLOFF, m.TransparencyFalloff);
  WritePercentBlock(w, CHUNK_MAT_REFL_BLUR, m.ReflectionBlur);
  WritePercentBlock(w, CHUNK_MAT_SELF_ILLUM, m.SelfIllumination);
  w.Chunk(CHUNK_MAT_WIRE_SIZE, m.WireSize);
  w.Chunk(CHUNK_MAT_SHADING, static_cast<std::uint16_t>(m.Shading));
  WriteFlagChunks(w, m, MATERIAL_FLAGS_3DS);
  for (const TMapSlot3DS& map : MAP_SLOTS_3DS) WriteMap(w, map.Tag, map.ProcedureTag, m.*(map.Map));
  if (m.AutoReflection) {
    w.Begin(CHUNK_MAT_AUTO_REFLECTION);
    w.Value(std::uint8_t(0));
    w.Value(std::uint8_t(0));
    w.Value(static_cast<std::uint16_t>((m.AutoReflFlagA ? 0x08 : 0) | (m.AutoReflFlagB ? 0x10 : 0)));
    w.Value(m.AutoReflSize);
    w.Value(m.AutoReflFrameStep);
    w.End();
  }
  w.End();
}

// ---------------------------------------------------------------------------
// Objects

void WriteMesh3DS(TChunkWriter3DS& w, const TMeshRecord3DS& mesh) {
  w.Begin(CHUNK_NAMED_OBJECT);
  w.String(mesh.Name);
  w.Begin(CHUNK_TRIANGLE_MESH);
  w.Begin(CHUNK_VERTEX_LIST);
  CountedArray(w, mesh.Vertices);
  w.End();
  if (!mesh.VertexFlags.empty()) {
    w.Begin(CHUNK_VERTEX_FLAGS);
    CountedArray(w, mesh.VertexFlags);
    w.End();
  }
  if (!mesh.TexCoords.empty()) {
    w.Begin(CHUNK_TEX_COORDS);
    CountedArray(w, mesh.TexCoords);
    w.End();
  }
  if (mesh.MapInfoPresent) {
    w.Begin(CHUNK_MAPPING_INFO);
    w.Value(mesh.MapType);
    w.Value(mesh.TileX);
    w.Value(mesh.TileY);
    w.Value(mesh.IconPosition);
    w.Value(mesh.IconScale);
    w.Value(mesh.MapMatrix);
    w.Value(mesh.PlanarWidth);
    w.Value(mesh.PlanarHeight);
    w.Value(mesh.CylinderHeight);
    w.End();
  }
  w.Chunk(CHUNK_MESH_MATRIX, mesh.LocalMatrix);
  if (mesh.ColorIndex != 0) w.Chunk(CHUNK_MESH_COLOR, mesh.ColorIndex);
  if (!mesh.ProcedureName.empty()) w.StringChunk(CHUNK_PROC_NAME, mesh.ProcedureName);
  if (!mesh.ProcedureData.empty()) {
    w.Begin(CHUNK_PROC_DATA);
    w.Bytes(mesh.ProcedureData.data(), mesh.ProcedureData.size());
    w.End();
  }
  w.Begin(CHUNK_FACE_LIST);
  CountedArray(w, mesh.Faces);
  for (const TMaterialGroupRecord3DS& group : mesh.MaterialGroups) {
    w.Begin(CHUNK_FACE_MATERIAL);
    w.String(group.MaterialName);
    CountedArray(w, group.FaceIndices);
    w.End();
  }
  if (!mesh.SmoothingGroups.empty()) {
    w.Begin(CHUNK_SMOOTH_GROUPS);
    w.Bytes(mesh.SmoothingGroups.data(), mesh.SmoothingGroups.size() * sizeof(std::uint32_t));
    w.End();
  }
  if (mesh.BoxMapPresent) {
    w.Begin(CHUNK_BOX_MAP);
    for (const std::string& name : mesh.BoxMapNames) w.String(name);
    w.End();
  }
  w.End();  // face list
  w.End();  // triangle mesh
  WriteFlagChunks(w, mesh, OBJECT_FLAGS_3DS);
  w.End();
}

void WriteLight3DS(TChunkWriter3DS& w, const TLight3DS& light) {
  w.Begin(CHUNK_NAMED_OBJECT);
  w.String(light.Name);
  w.Begin(CHUNK_LIGHT);
  w.Value(light.Position);
  w.Chunk(CHUNK_COLOR_F, light.Color);
  if (light.Spot) {
    w.Begin(CHUNK_SPOTLIGHT);
    w.Value(light.Target);
    w.Value(light.HotSpot);
    w.Value(light.FallOff);
    w.End();
  }
  w.End();
  w.End();
}

void WriteCamera3DS(TChunkWriter3DS& w, const TCamera3DS& camera) {
  w.Begin(CHUNK_NAMED_OBJECT);
  w.String(camera.Name);
  w.Begin(CHUNK_CAMERA);
  w.Value(camera.Position);
  w.Value(camera.Target);
  w.Value(camera.Roll);
  w.Value(camera.FocalLength);
  w.Begin(CHUNK_CAMERA_RANGES);
  w.Value(camera.NearRange);
  w.Value(camera.FarRange);
  w.End();
  w.End();
  w.End();
}

namespace {

void WriteKeyFramer(TChunkWriter3DS& w, const TModel3DS& model) {
  w.Begin(CHUNK_KEYFRAMER);
  w.Begin(CHUNK_KF_HEADER);
  w.Value(std::uint16_t(5));
  w.String("");
  w.Value(model.AnimationLength);
  w.End();
  w.Begin(CHUNK_KF_SEGMENT);
  w.Value(std::uint32_t(0));
  w.Value(model.AnimationLength);
  w.End();
  w.Chunk(CHUNK_KF_CURRENT_FRAME, std::uint32_t(0));
  for (const TKeyFramerNode3DS& node : model.KeyFramerNodes) {
    w.Begin(node.Tag);
    if (node.NodeId != 0xFFFF) w.Chunk(CHUNK_KF_NODE_ID, node.NodeId);
    w.Begin(CHUNK_KF_NODE_HEADER);
    w.String(node.Name);
    w.Value(std::int16_t(0));
    w.Value(std::int16_t(0));
    w.Value(node.ParentIndex);
    w.End();
    if (!node.InstanceName.empty()) w.StringChunk(CHUNK_KF_INSTANCE_NAME, node.InstanceName);
    w.Chunk(CHUNK_KF_PIVOT, node.Pivot);
    if (!node.PositionKeys.empty()) {
      w.Begin(CHUNK_KF_POSITION_TRACK);
      w.Value(std::uint16_t(0));
      w.Value(std::uint32_t(0));
      w.Value(std::uint32_t(0));
      w.Value(static_cast<std::uint32_t>(node.PositionKeys.size()));
      for (const auto& [frame, position] : node.PositionKeys) {
        w.Value(frame);
        w.Value(std::uint16_t(0));
        w.Value(position);
      }
      w.End();
    }
    w.End();
  }
  w.End();
}

}  // namespace

void WriteModel3DS(TChunkWriter3DS& w, const TModel3DS& model) {
  w.Begin(CHUNK_FILE_TOP);
  w.Chunk(CHUNK_FILE_VERSION, std::uint32_t(3));
  w.Begin(CHUNK_MESH_DATA);
  w.Chunk(CHUNK_MESH_VERSION, std::uint32_t(3));
  for (const TMaterialRecord3DS& material : model.Materials) WriteMaterial3DS(w, material);
  w.Chunk(CHUNK_MASTER_SCALE, model.MasterScale);
  for (const TMeshRecord3DS& mesh : model.Meshes) WriteMesh3DS(w, mesh);
  for (const TLight3DS& light : model.Lights) WriteLight3DS(w, light);
  for (const TCamera3DS& camera : model.Cameras) WriteCamera3DS(w, camera);
  w.End();
  if (!model.KeyFramerNodes.empty()) WriteKeyFramer(w, model);
  w.End();
}

std::string Model3DSBytes(const TModel3DS& model) {
  TChunkWriter3DS writer;
  WriteModel3DS(writer, model);
  return writer.Data();
}

// ---------------------------------------------------------------------------
// Shared models

namespace {

constexpr TMatrix3DS IDENTITY_3DS{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

std::vector<std::uint16_t> Range(std::uint16_t first, std::uint16_t count) {
  std::vector<std::uint16_t> indices(count);
  for (std::uint16_t i = 0; i < count; ++i) indices[i] = static_cast<std::uint16_t>(first + i);
  return indices;
}

TMeshRecord3DS CubeMesh() {
  TMeshRecord3DS cube;
  cube.Name = "Cube";
  cube.Vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  cube.TexCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}};
  // Counter-clockwise seen from outside; bottom, top, front, right, back, left.
  cube.Faces = {{0, 2, 1, 7}, {0, 3, 2, 7}, {4, 5, 6, 7}, {4, 6, 7, 7}, {0, 1, 5, 7}, {0, 5, 4, 7},
                {1, 2, 6, 7}, {1, 6, 5, 7}, {2, 3, 7, 7}, {2, 7, 6, 7}, {3, 0, 4, 7}, {3, 4, 7, 7}};
  cube.MaterialGroups = {{"Red", Range(0, 6)}, {"Checker", Range(6, 6)}};
  cube.SmoothingGroups = {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32};
  cube.LocalMatrix = IDENTITY_3DS;
  return cube;
}

}  // namespace

TModel3DS CubeModel3DS() {
  TModel3DS model;
  TMaterialRecord3DS red;
  red.Name = "Red";
  red.Ambient = {0.2f, 0, 0};
  red.Diffuse = {1, 0, 0};
  red.Specular = {1, 1, 1};
  red.Shininess = 0.25f;
  red.ShininessStrength = 0.5f;
  TMaterialRecord3DS checker;
  checker.Name = "Checker";
  checker.Diffuse = {1, 1, 1};
  checker.Transparency = 0.3f;
  checker.TwoSided = true;
  checker.TextureMap.FileName = "checker.jpg";
  checker.TextureMap.Percent = 1;
  checker.TextureMap.UScale = 2;
  checker.TextureMap.VScale = 2;
  checker.TextureMap.Tiling = TMapTiling3DS::Decal;
  model.Materials = {red, checker};
  model.Meshes = {CubeMesh()};
  return model;
}

TModel3DS SceneModel3DS() {
  TModel3DS model = CubeModel3DS();
  TMeshRecord3DS pyramid;
  pyramid.Name = "Pyramid";
  pyramid.Vertices = {{3, 0, 0}, {4, 0, 0}, {4, 1, 0}, {3, 1, 0}, {3.5f, 0.5f, 2}};
  pyramid.Faces = {{0, 2, 1, 7}, {0, 3, 2, 7}, {0, 1, 4, 7}, {1, 2, 4, 7}, {2, 3, 4, 7}, {3, 0, 4, 7}};
  pyramid.MaterialGroups = {{"Red", Range(0, 6)}};
  pyramid.LocalMatrix = IDENTITY_3DS;
  pyramid.LocalMatrix[9] = 3;
  TMeshRecord3DS hidden;
  hidden.Name = "Hidden";
  hidden.Hidden = true;
  hidden.Vertices = {{-2, -2, 0}, {-1, -2, 0}, {-1, -1, 0}, {-2, -1, 0}};
  hidden.Faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
  hidden.LocalMatrix = IDENTITY_3DS;
  model.Meshes.push_back(pyramid);
  model.Meshes.push_back(hidden);

  TLight3DS spot{"Spot", {5, 5, 10}, {1, 1, 1}, true, {0, 0, 0}, 30, 45};
  TLight3DS omni{"Omni", {-5, 2, 8}, {1, 0.9f, 0.8f}};
  model.Lights = {spot, omni};
  model.Cameras = {{"Camera01", {10, -10, 10}, {0, 0, 0}, 0, 50, 1, 500}};
  model.KeyFramerNodes = {
      {CHUNK_KF_OBJECT_NODE, 0, "Cube", "Base", 0xFFFF, {0.5f, 0.5f, 0.5f}, {{0, {0, 0, 0}}, {50, {0, 0, 2}}}},
      {CHUNK_KF_OBJECT_NODE, 1, "Pyramid", "", 0, {3.5f, 0.5f, 0}, {}},
      {CHUNK_KF_OBJECT_NODE, 2, "Hidden", "", 0xFFFF, {}, {}},
      {CHUNK_KF_CAMERA_NODE, 3, "Camera01", "", 0xFFFF, {}, {}},
      {CHUNK_KF_TARGET_NODE, 4, "Camera01", "", 0xFFFF, {}, {}},
      {CHUNK_KF_LIGHT_NODE, 5, "Omni", "", 1, {}, {}},
      {CHUNK_KF_SPOTLIGHT_NODE, 6, "Spot", "", 1, {}, {}},
  };
  return model;
}

TModel3DS GridModel3DS(int faces) {
  // 180 x 180 cells: 64,800 faces on 32,761 vertices, inside the format's 16-bit counts.
  constexpr int COLUMNS = 180;
  constexpr int MAX_ROWS = 180;
  TModel3DS model;
  TMaterialRecord3DS grey;
  grey.Name = "Grey";
  grey.Diffuse = {0.5f, 0.5f, 0.5f};
  model.Materials = {grey};
  for (int left = faces, part = 0; left > 0; ++part) {
    int rows = std::min(MAX_ROWS, (left + 2 * COLUMNS - 1) / (2 * COLUMNS));
    TMeshRecord3DS mesh;
    mesh.Name = "Grid" + std::to_string(part);
    mesh.LocalMatrix = IDENTITY_3DS;
    for (int r = 0; r <= rows; ++r)
      for (int c = 0; c <= COLUMNS; ++c) {
        float x = float(c), y = float(r), z = float(part) + 0.25f * std::sin(0.1f * float(c + r));
        mesh.Vertices.push_back({x, y, z});
        mesh.TexCoords.push_back({x / COLUMNS, y / float(rows)});
      }
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < COLUMNS; ++c) {
        auto at = [](int row, int column) { return static_cast<std::uint16_t>(row * (COLUMNS + 1) + column); };
        mesh.Faces.push_back({at(r, c), at(r, c + 1), at(r + 1, c + 1), 7});
        mesh.Faces.push_back({at(r, c), at(r + 1, c + 1), at(r + 1, c), 7});
      }
    mesh.SmoothingGroups.assign(mesh.Faces.size(), 1);
    mesh.MaterialGroups = {{"Grey", Range(0, static_cast<std::uint16_t>(mesh.Faces.size()))}};
    left -= static_cast<int>(mesh.Faces.size());
    model.Meshes.push_back(std::move(mesh));
  }
  return model;
}

TModel3DS EveryFieldModel3DS() {
  TModel3DS model;
  TMaterialRecord3DS m;
  m.Name = "Everything";
  m.Ambient = {0.1f, 0.2f, 0.3f};
  m.Diffuse = {0.4f, 0.5f, 0.6f};
  m.Specular = {0.7f, 0.8f, 0.9f};
  m.Shininess = 0.11f;
  m.ShininessStrength = 0.22f;
  m.ReflectionBlur = 0.33f;
  m.Transparency = -0.44f;
  m.TransparencyFalloff = 0.55f;
  m.SelfIllumination = 0.66f;
  m.WireSize = 2.5f;
  m.Shading = 2;
  m.UseReflectionBlur = m.UseTransparencyFalloff = m.TwoSided = m.SelfIlluminated = true;
  m.Additive = m.WireInUnits = m.FaceMapped = m.SoftPhong = true;
  m.AutoReflection = m.AutoReflFlagA = m.AutoReflFlagB = true;
  m.AutoReflSize = 256;
  m.AutoReflFrameStep = 3;
  int n = 0;
  for (const TMapSlot3DS& slot : MAP_SLOTS_3DS) {
    TTextureMapRecord3DS& map = m.*slot.Map;
    ++n;
    map.FileName = "map" + std::to_string(n) + ".bmp";
    map.Percent = 0.05f * float(n);
    map.Tiling = static_cast<TMapTiling3DS>(n % 3);
    map.IgnoreAlpha = n % 2 == 0;
    map.Filter = static_cast<TMapFilter3DS>(n % 2);
    map.Mirror = n % 3 == 0;
    map.Negative = n % 4 == 0;
    map.Source = static_cast<TMapSource3DS>(n % 5);
    map.Blur = 0.01f * float(n);
    map.UScale = 1.5f;
    map.VScale = 0.5f;
    map.UOffset = 0.25f;
    map.VOffset = -0.25f;
    map.Rotation = float(n);
    map.Tint1 = {51 / 255.0f, 102 / 255.0f, 153 / 255.0f};
    map.Tint2 = {1, 0, 1};
    if (slot.ProcedureTag != 0) map.ProcedureData = {std::uint8_t(n), 0, 255, 7};
  }
  model.Materials = {m};

  TMeshRecord3DS mesh;
  mesh.Name = "Everything";
  mesh.Hidden = mesh.VisibleInLofter = mesh.CastsNoShadow = mesh.Matte = true;
  mesh.FastDisplay = mesh.Procedural = mesh.Frozen = mesh.ReceivesNoShadow = true;
  mesh.Vertices = {{1, 2, 3}, {-4, 5, -6}, {7.5f, 8.25f, -9.125f}};
  mesh.VertexFlags = {1, 2, 0x8000};
  mesh.TexCoords = {{0, 1}, {0.5f, 0.25f}, {1, 0}};
  mesh.MapInfoPresent = true;
  mesh.MapType = 2;
  mesh.TileX = 3;
  mesh.TileY = 4;
  mesh.IconPosition = {1, 1, 1};
  mesh.IconScale = 2;
  mesh.MapMatrix = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  mesh.PlanarWidth = 5;
  mesh.PlanarHeight = 6;
  mesh.CylinderHeight = 7;
  mesh.LocalMatrix = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
  mesh.ColorIndex = 9;
  mesh.ProcedureName = "twist";
  mesh.ProcedureData = {9, 8, 7};
  mesh.Faces = {{0, 1, 2, 3}, {2, 1, 0, 4}};
  mesh.MaterialGroups = {{"Everything", {1}}, {"Nothing", {}}, {"Everything", {0, 1}}};
  mesh.SmoothingGroups = {0x80000001u, 0};
  mesh.BoxMapPresent = true;
  mesh.BoxMapNames = {"front", "back", "left", "right", "top", "bottom"};
  model.Meshes = {mesh};
  return model;
}

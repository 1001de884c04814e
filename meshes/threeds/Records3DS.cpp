#include "meshes/threeds/Records3DS.h"

const TMapSlot3DS MAP_SLOTS_3DS[16] = {
    {0xA200, 0xA320, &TMaterialRecord3DS::TextureMap},    {0xA33E, 0xA32A, &TMaterialRecord3DS::TextureMask},
    {0xA33A, 0xA321, &TMaterialRecord3DS::Texture2Map},   {0xA340, 0xA32C, &TMaterialRecord3DS::Texture2Mask},
    {0xA210, 0xA322, &TMaterialRecord3DS::OpacityMap},    {0xA342, 0xA32E, &TMaterialRecord3DS::OpacityMask},
    {0xA230, 0xA324, &TMaterialRecord3DS::BumpMap},       {0xA344, 0xA330, &TMaterialRecord3DS::BumpMask},
    {0xA204, 0xA325, &TMaterialRecord3DS::SpecularMap},   {0xA348, 0xA332, &TMaterialRecord3DS::SpecularMask},
    {0xA33C, 0xA326, &TMaterialRecord3DS::ShininessMap},  {0xA346, 0xA334, &TMaterialRecord3DS::ShininessMask},
    {0xA33D, 0xA328, &TMaterialRecord3DS::SelfIllumMap},  {0xA34A, 0xA336, &TMaterialRecord3DS::SelfIllumMask},
    {0xA220, 0, &TMaterialRecord3DS::ReflectionMap},      {0xA34C, 0xA338, &TMaterialRecord3DS::ReflectionMask},
};

const TFlagSlot3DS<TMaterialRecord3DS> MATERIAL_FLAGS_3DS[8] = {
    {CHUNK_MAT_USE_REFL_BLUR, &TMaterialRecord3DS::UseReflectionBlur},
    {CHUNK_MAT_USE_TRANS_FALLOFF, &TMaterialRecord3DS::UseTransparencyFalloff},
    {CHUNK_MAT_TWO_SIDED, &TMaterialRecord3DS::TwoSided},
    {CHUNK_MAT_SELF_ILLUMINATED, &TMaterialRecord3DS::SelfIlluminated},
    {CHUNK_MAT_ADDITIVE, &TMaterialRecord3DS::Additive},
    {CHUNK_MAT_WIRE_IN_UNITS, &TMaterialRecord3DS::WireInUnits},
    {CHUNK_MAT_FACE_MAPPED, &TMaterialRecord3DS::FaceMapped},
    {CHUNK_MAT_SOFT_PHONG, &TMaterialRecord3DS::SoftPhong},
};

const TFlagSlot3DS<TMeshRecord3DS> OBJECT_FLAGS_3DS[8] = {
    {CHUNK_OBJ_HIDDEN, &TMeshRecord3DS::Hidden},
    {CHUNK_OBJ_VIS_LOFTER, &TMeshRecord3DS::VisibleInLofter},
    {CHUNK_OBJ_NO_CAST, &TMeshRecord3DS::CastsNoShadow},
    {CHUNK_OBJ_MATTE, &TMeshRecord3DS::Matte},
    {CHUNK_OBJ_FAST, &TMeshRecord3DS::FastDisplay},
    {CHUNK_OBJ_PROCEDURAL, &TMeshRecord3DS::Procedural},
    {CHUNK_OBJ_FROZEN, &TMeshRecord3DS::Frozen},
    {CHUNK_OBJ_NO_RECEIVE, &TMeshRecord3DS::ReceivesNoShadow},
};

namespace {

template <class T>
T TakeValue(TStream& stream, TChunkNode& node) {
  return TakeChunkData<TValueData3DS<T>>(stream, node).Value;
}

TColor3DS ColorOfBytes(const TColor24_3DS& c) { return {c.R / 255.0f, c.G / 255.0f, c.B / 255.0f}; }

// The percentage child of a block: integer percent (0x0030), else float (0x0031), else 0.
float PercentOf(TStream& stream, const TChunkNode& block) {
  if (TChunkNode* percent = FindChildByTag(block, CHUNK_PERCENT_I))
    return TakeValue<std::uint16_t>(stream, *percent) / 100.0f;
  if (TChunkNode* percent = FindChildByTag(block, CHUNK_PERCENT_F)) return TakeValue<float>(stream, *percent);
  return 0;
}

// Of the colour children of a block, 0x0012 wins over 0x0010, which wins over 0x0011,
// wherever they stand.
void ReadColor(TStream& stream, const TChunkNode& block, TColor3DS& color) {
  if (TChunkNode* c = FindChildByTag(block, CHUNK_COLOR_24)) color = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *c));
  if (TChunkNode* c = FindChildByTag(block, CHUNK_COLOR_F)) color = TakeValue<TColor3DS>(stream, *c);
  if (TChunkNode* c = FindChildByTag(block, CHUNK_LIN_COLOR_24))
    color = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *c));
}

void SetMapFlags(TTextureMapRecord3DS& map, std::uint16_t flags) {
  auto bit = [flags](int n) { return (flags >> n & 1) != 0; };
  map.Tiling = !bit(0) ? TMapTiling3DS::Tile : bit(4) ? TMapTiling3DS::Decal : TMapTiling3DS::Both;
  map.IgnoreAlpha = bit(8);
  map.Filter = bit(5) ? TMapFilter3DS::SummedArea : TMapFilter3DS::Pyramidal;
  map.Mirror = bit(1);
  map.Negative = bit(3);
  if (bit(7))
    map.Source = bit(6) ? TMapSource3DS::AlphaTint : TMapSource3DS::RGBTint;
  else
    map.Source = bit(9) ? TMapSource3DS::RGBLumaTint : bit(6) ? TMapSource3DS::Alpha : TMapSource3DS::RGB;
}

void ReadMap(TStream& stream, TChunkNode& block, std::uint16_t procedureTag, TTextureMapRecord3DS& map) {
  map.Percent = PercentOf(stream, block);
  for (TChunkNode* child = block.Children.get(); child; child = child->Sibling.get()) {
    std::uint16_t tag = child->Tag;
    switch (tag) {
      case CHUNK_MAP_FILE_NAME: map.FileName = TakeValue<std::string>(stream, *child); break;
      case CHUNK_MAP_FLAGS: SetMapFlags(map, static_cast<std::uint16_t>(TakeValue<std::int16_t>(stream, *child))); break;
      case CHUNK_MAP_BLUR: map.Blur = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_U_SCALE: map.UScale = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_V_SCALE: map.VScale = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_U_OFFSET: map.UOffset = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_V_OFFSET: map.VOffset = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_ROTATION: map.Rotation = TakeValue<float>(stream, *child); break;
      case CHUNK_MAP_TINT_1: map.Tint1 = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *child)); break;
      case CHUNK_MAP_TINT_2: map.Tint2 = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *child)); break;
      case CHUNK_MAP_RED_TINT: map.RedTint = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *child)); break;
      case CHUNK_MAP_GREEN_TINT: map.GreenTint = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *child)); break;
      case CHUNK_MAP_BLUE_TINT: map.BlueTint = ColorOfBytes(TakeValue<TColor24_3DS>(stream, *child)); break;
      default:
        if (procedureTag != 0 && tag == procedureTag)
          map.ProcedureData = TakeChunkData<TRawData3DS>(stream, *child).Bytes;
        break;
    }
  }
}

const TMapSlot3DS* MapSlotOf(std::uint16_t tag) {
  for (const TMapSlot3DS& slot : MAP_SLOTS_3DS)
    if (slot.Tag == tag) return &slot;
  return nullptr;
}

bool* MaterialFlagOf(TMaterialRecord3DS& m, std::uint16_t tag) {
  for (const TFlagSlot3DS<TMaterialRecord3DS>& slot : MATERIAL_FLAGS_3DS)
    if (slot.Tag == tag) return &(m.*slot.Flag);
  return nullptr;
}

// The percentage fields that a block of the material entry fills.
float* MaterialPercentOf(TMaterialRecord3DS& m, std::uint16_t tag) {
  switch (tag) {
    case CHUNK_MAT_SHININESS: return &m.Shininess;
    case CHUNK_MAT_SHIN_STRENGTH: return &m.ShininessStrength;
    case CHUNK_MAT_REFL_BLUR: return &m.ReflectionBlur;
    case CHUNK_MAT_TRANSPARENCY: return &m.Transparency;
    case CHUNK_MAT_TRANS_FALLOFF: return &m.TransparencyFalloff;
    case CHUNK_MAT_SELF_ILLUM: return &m.SelfIllumination;
    default: return nullptr;
  }
}

void ReadMaterialChild(TStream& stream, TChunkNode& child, TMaterialRecord3DS& m) {
  std::uint16_t tag = child.Tag;
  if (bool* flag = MaterialFlagOf(m, tag)) {
    *flag = true;
    return;
  }
  if (float* percent = MaterialPercentOf(m, tag)) {
    *percent = PercentOf(stream, child);
    return;
  }
  if (const TMapSlot3DS* slot = MapSlotOf(tag)) {
    TTextureMapRecord3DS& map = m.*(slot->Map);
    ReadMap(stream, child, slot->ProcedureTag, map);
    if (tag == 0xA230)
      if (TChunkNode* bump = FindChildByTag(child, CHUNK_MAT_BUMP_PERCENT))
        map.Percent = static_cast<std::int16_t>(TakeValue<std::uint16_t>(stream, *bump)) / 100.0f;
    return;
  }
  switch (tag) {
    case CHUNK_MAT_NAME: m.Name = TakeValue<std::string>(stream, child); break;
    case CHUNK_MAT_AMBIENT: ReadColor(stream, child, m.Ambient); break;
    case CHUNK_MAT_DIFFUSE: ReadColor(stream, child, m.Diffuse); break;
    case CHUNK_MAT_SPECULAR: ReadColor(stream, child, m.Specular); break;
    case CHUNK_MAT_WIRE_SIZE: m.WireSize = TakeValue<float>(stream, child); break;
    case CHUNK_MAT_SHADING: m.Shading = static_cast<std::int16_t>(TakeValue<std::uint16_t>(stream, child)); break;
    case CHUNK_MAT_WIRE: m.Shading = 0; break;
    case CHUNK_MAT_TRANS_IN: m.Transparency = -m.Transparency; break;
    case CHUNK_MAT_AUTO_REFLECTION: {
      TAutoReflectionData3DS data = TakeChunkData<TAutoReflectionData3DS>(stream, child);
      m.AutoReflection = true;
      m.AutoReflFlagA = (data.Flags & 0x09) != 0;
      m.AutoReflFlagB = (data.Flags & 0x11) != 0;
      m.AutoReflSize = data.Size;
      m.AutoReflFrameStep = data.FrameStep;
      break;
    }
    case CHUNK_MAT_SHIN_THIRD:
    case CHUNK_MAT_DECAL:
      break;
    default:
      // Extension chunks (high byte 0x80) may stand anywhere; any other tag means the
      // entry is not what it claims to be.
      if ((tag >> 8) != 0x80) Raise3DSError(ERR_3DS_INVALID_CHUNK);
  }
}

void ReadFaceList(TStream& stream, TChunkNode& faceList, TMeshRecord3DS& mesh) {
  mesh.Faces = TakeChunkData<TFaceListData3DS>(stream, faceList).Faces;
  for (TChunkNode* child = faceList.Children.get(); child; child = child->Sibling.get()) {
    switch (child->Tag) {
      case CHUNK_FACE_MATERIAL: {
        TFaceMaterialData3DS data = TakeChunkData<TFaceMaterialData3DS>(stream, *child);
        mesh.MaterialGroups.push_back({std::move(data.MaterialName), std::move(data.FaceIndices)});
        break;
      }
      case CHUNK_SMOOTH_GROUPS: mesh.SmoothingGroups = TakeChunkData<TSmoothGroupsData3DS>(stream, *child).Masks; break;
      case CHUNK_BOX_MAP:
        mesh.BoxMapPresent = true;
        mesh.BoxMapNames = TakeChunkData<TBoxMapData3DS>(stream, *child).MaterialNames;
        break;
      default: break;
    }
  }
}

void ReadMeshChild(TStream& stream, TChunkNode& child, TMeshRecord3DS& mesh) {
  switch (child.Tag) {
    case CHUNK_VERTEX_LIST: mesh.Vertices = TakeChunkData<TVertexListData3DS>(stream, child).Vertices; break;
    case CHUNK_VERTEX_FLAGS: mesh.VertexFlags = TakeChunkData<TVertexFlagsData3DS>(stream, child).Flags; break;
    case CHUNK_TEX_COORDS: mesh.TexCoords = TakeChunkData<TTexCoordsData3DS>(stream, child).TexCoords; break;
    case CHUNK_MAPPING_INFO: {
      TMappingInfoData3DS data = TakeChunkData<TMappingInfoData3DS>(stream, child);
      mesh.MapInfoPresent = true;
      mesh.MapType = data.MapType;
      mesh.TileX = data.TileX;
      mesh.TileY = data.TileY;
      mesh.IconPosition = data.IconPosition;
      mesh.IconScale = data.IconScale;
      mesh.MapMatrix = data.Matrix;
      mesh.PlanarWidth = data.PlanarWidth;
      mesh.PlanarHeight = data.PlanarHeight;
      mesh.CylinderHeight = data.CylinderHeight;
      break;
    }
    case CHUNK_MESH_MATRIX: mesh.LocalMatrix = TakeChunkData<TMeshMatrixData3DS>(stream, child).Matrix; break;
    case CHUNK_MESH_COLOR: mesh.ColorIndex = TakeValue<std::uint8_t>(stream, child); break;
    case CHUNK_PROC_NAME: mesh.ProcedureName = TakeValue<std::string>(stream, child); break;
    case CHUNK_PROC_DATA: mesh.ProcedureData = TakeChunkData<TRawData3DS>(stream, child).Bytes; break;
    case CHUNK_FACE_LIST: ReadFaceList(stream, child, mesh); break;
    default: break;
  }
}

}  // namespace

TMaterialRecord3DS ReadMaterialRecord(TStream& stream, TChunkNode& entry) {
  if (entry.Tag != CHUNK_MAT_ENTRY) Raise3DSError(ERR_3DS_INVALID_CHUNK);
  TMaterialRecord3DS material;
  for (TChunkNode* child = entry.Children.get(); child; child = child->Sibling.get())
    ReadMaterialChild(stream, *child, material);
  return material;
}

TMeshRecord3DS ReadMeshRecord(TStream& stream, TChunkNode& namedObject) {
  TChunkNode* triangles = FindChildByTag(namedObject, CHUNK_TRIANGLE_MESH);
  if (namedObject.Tag != CHUNK_NAMED_OBJECT || !triangles) Raise3DSError(ERR_3DS_WRONG_OBJECT);
  TMeshRecord3DS mesh;
  mesh.Name = TakeValue<std::string>(stream, namedObject);
  for (TChunkNode* child = triangles->Children.get(); child; child = child->Sibling.get())
    ReadMeshChild(stream, *child, mesh);
  for (const TFlagSlot3DS<TMeshRecord3DS>& slot : OBJECT_FLAGS_3DS)
    mesh.*slot.Flag = FindChildByTag(namedObject, slot.Tag) != nullptr;
  return mesh;
}

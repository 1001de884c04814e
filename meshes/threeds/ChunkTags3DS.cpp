// The tag table of the 3DS format and what is driven by it: decoding a chunk's data,
// finding where its children start, and the order in which siblings are written.

#include "meshes/threeds/Chunks3DS.h"

#include <algorithm>
#include <new>

// ---------------------------------------------------------------------------
// Decoders

namespace {

// The class of a pointer to member: TMemberOwner<int TFoo::*>::Type is TFoo.
template <class T>
struct TMemberOwner;
template <class TClass, class TMember>
struct TMemberOwner<TMember TClass::*> {
  using Type = TClass;
};

template <class T>
std::unique_ptr<TChunkData3DS> ValueData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TValueData3DS<T>>();
  data->Value = reader.Value<T>();
  return data;
}

std::unique_ptr<TChunkData3DS> StringData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TValueData3DS<std::string>>();
  data->Value = reader.String();
  return data;
}

// Procedure data and extension entries: a byte block, empty when the chunk is its
// header alone, so that the records that take it always find one.
std::unique_ptr<TChunkData3DS> RawData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TRawData3DS>();
  data->Bytes = reader.Array<std::uint8_t>(reader.Remaining());
  return data;
}

// A u16 count and that many items, into the record's array `Field`.
template <auto Field>
std::unique_ptr<TChunkData3DS> CountedArray(TChunkReader3DS& reader) {
  auto data = std::make_unique<typename TMemberOwner<decltype(Field)>::Type>();
  auto& items = (*data).*Field;
  items = reader.Array<typename std::remove_reference_t<decltype(items)>::value_type>(reader.Value<std::uint16_t>());
  return data;
}

template <std::size_t N>
std::unique_ptr<TChunkData3DS> Words(TChunkReader3DS& reader) {
  auto data = std::make_unique<TWordsData3DS>();
  data->Words = reader.Array<std::uint16_t>(N);
  return data;
}

TAffineVector ReadPoint(TChunkReader3DS& reader) { return reader.Value<TAffineVector>(); }

std::unique_ptr<TChunkData3DS> FogData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TFogData3DS>();
  reader.Read(&data->NearPlane, 4 * sizeof(float));
  return data;
}

std::unique_ptr<TChunkData3DS> LayeredFogData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TLayeredFogData3DS>();
  reader.Read(&data->ZMin, 3 * sizeof(float));
  data->Flags = reader.Value<std::int32_t>();
  return data;
}

// The float is read first, then the point.
std::unique_ptr<TChunkData3DS> StandardViewData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TStandardViewData3DS>();
  data->Width = reader.Value<float>();
  data->Target = ReadPoint(reader);
  return data;
}

std::unique_ptr<TChunkData3DS> UserViewData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TUserViewData3DS>();
  reader.Read(&data->Width, 4 * sizeof(float));
  data->Target = ReadPoint(reader);
  return data;
}

std::unique_ptr<TChunkData3DS> FaceMaterialData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TFaceMaterialData3DS>();
  data->MaterialName = reader.String();
  data->FaceIndices = reader.Array<std::uint16_t>(reader.Value<std::uint16_t>());
  return data;
}

// One mask per face without a count of its own: as many as the chunk holds.
std::unique_ptr<TChunkData3DS> SmoothGroupsData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TSmoothGroupsData3DS>();
  data->Masks = reader.Array<std::uint32_t>(reader.Remaining() / 4);
  return data;
}

std::unique_ptr<TChunkData3DS> MeshMatrixData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TMeshMatrixData3DS>();
  data->Matrix = reader.Value<TMatrix3DS>();
  return data;
}

std::unique_ptr<TChunkData3DS> MappingInfoData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TMappingInfoData3DS>();
  data->MapType = reader.Value<std::uint16_t>();
  data->TileX = reader.Value<float>();
  data->TileY = reader.Value<float>();
  data->IconPosition = ReadPoint(reader);
  data->IconScale = reader.Value<float>();
  data->Matrix = reader.Value<TMatrix3DS>();
  data->PlanarWidth = reader.Value<float>();
  data->PlanarHeight = reader.Value<float>();
  data->CylinderHeight = reader.Value<float>();
  return data;
}

std::unique_ptr<TChunkData3DS> BoxMapData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TBoxMapData3DS>();
  for (std::string& name : data->MaterialNames) name = reader.String();
  return data;
}

std::unique_ptr<TChunkData3DS> SpotlightData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TSpotlightData3DS>();
  data->Target = ReadPoint(reader);
  data->HotSpot = reader.Value<float>();
  data->FallOff = reader.Value<float>();
  return data;
}

std::unique_ptr<TChunkData3DS> LocalShadowData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TLocalShadowData3DS>();
  data->Bias = reader.Value<float>();
  data->Filter = reader.Value<float>();
  data->MapSize = reader.Value<std::uint16_t>();
  return data;
}

std::unique_ptr<TChunkData3DS> CameraData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TCameraData3DS>();
  data->Position = ReadPoint(reader);
  data->Target = ReadPoint(reader);
  data->Roll = reader.Value<float>();
  data->FocalLength = reader.Value<float>();
  return data;
}

std::unique_ptr<TChunkData3DS> CameraRangesData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TCameraRangesData3DS>();
  data->NearRange = reader.Value<float>();
  data->FarRange = reader.Value<float>();
  return data;
}

std::unique_ptr<TChunkData3DS> ViewportData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TViewportData3DS>();
  data->Words = reader.Value<std::array<std::uint16_t, 7>>();
  data->Zoom = reader.Value<float>();
  data->Center = ReadPoint(reader);
  data->HorizontalAngle = reader.Value<float>();
  data->VerticalAngle = reader.Value<float>();
  data->CameraName = reader.String();
  return data;
}

std::unique_ptr<TChunkData3DS> AutoReflectionData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TAutoReflectionData3DS>();
  data->Type = reader.Value<std::uint8_t>();
  data->AntiAlias = reader.Value<std::uint8_t>();
  data->Flags = reader.Value<std::uint16_t>();
  data->Size = reader.Value<std::int32_t>();
  data->FrameStep = reader.Value<std::int32_t>();
  return data;
}

std::unique_ptr<TChunkData3DS> SegmentData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TSegmentData3DS>();
  data->FirstFrame = reader.Value<std::uint32_t>();
  data->LastFrame = reader.Value<std::uint32_t>();
  return data;
}

std::unique_ptr<TChunkData3DS> KeyFramerHeaderData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TKeyFramerHeaderData3DS>();
  data->Revision = reader.Value<std::uint16_t>();
  data->FileName = reader.String();
  data->AnimationLength = reader.Value<std::uint32_t>();
  return data;
}

std::unique_ptr<TChunkData3DS> NodeHeaderData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TNodeHeaderData3DS>();
  data->Name = reader.String();
  data->Flags1 = reader.Value<std::int16_t>();
  data->Flags2 = reader.Value<std::int16_t>();
  data->ParentIndex = reader.Value<std::uint16_t>();
  return data;
}

std::unique_ptr<TChunkData3DS> BoundingBoxData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TBoundingBoxData3DS>();
  data->Min = ReadPoint(reader);
  data->Max = ReadPoint(reader);
  return data;
}

TKeyHeader3DS ReadKeyHeader(TChunkReader3DS& reader) {
  TKeyHeader3DS key{};
  key.Time = reader.Value<std::int32_t>();
  key.SplineFlags = reader.Value<std::uint16_t>();
  float* values[] = {&key.Tension, &key.Continuity, &key.Bias, &key.EaseTo, &key.EaseFrom};
  for (int bit = 0; bit < 5; ++bit)
    if (key.SplineFlags & (1u << bit)) *values[bit] = reader.Value<float>();
  return key;
}

void ReadTrackHeader(TChunkReader3DS& reader, TTrackData3DS& track) {
  track.Flags = reader.Value<std::uint16_t>();
  track.Reserved1 = reader.Value<std::uint32_t>();
  track.Reserved2 = reader.Value<std::uint32_t>();
  track.KeyCount = reader.Value<std::uint32_t>();
  // A key takes 6 bytes at least: a count that cannot fit is refused before the
  // arrays are sized by it.
  reader.Need(track.KeyCount, 6);
  track.KeyHeaders.reserve(track.KeyCount);
}

TRotationKey3DS ReadRotationKey(TChunkReader3DS& reader) {
  TRotationKey3DS key;
  key.Angle = reader.Value<float>();
  key.Axis = ReadPoint(reader);
  return key;
}
float ReadFloat(TChunkReader3DS& reader) { return reader.Value<float>(); }
std::string ReadString(TChunkReader3DS& reader) { return reader.String(); }

// A track whose keys carry one value each, read by `ReadValue`.
template <class T, T (*ReadValue)(TChunkReader3DS&)>
std::unique_ptr<TChunkData3DS> ValueTrack(TChunkReader3DS& reader) {
  auto track = std::make_unique<TValueTrackData3DS<T>>();
  ReadTrackHeader(reader, *track);
  track->Values.reserve(track->KeyCount);
  for (std::uint32_t i = 0; i < track->KeyCount; ++i) {
    track->KeyHeaders.push_back(ReadKeyHeader(reader));
    track->Values.push_back(ReadValue(reader));
  }
  return track;
}

// The hide track: key headers alone.
std::unique_ptr<TChunkData3DS> HideTrack(TChunkReader3DS& reader) {
  auto track = std::make_unique<TTrackData3DS>();
  ReadTrackHeader(reader, *track);
  for (std::uint32_t i = 0; i < track->KeyCount; ++i) track->KeyHeaders.push_back(ReadKeyHeader(reader));
  return track;
}

// ---------------------------------------------------------------------------
// The table

using enum TChildStart3DS;

// Rows for the common shapes.
constexpr TChunkTag3DS Section(std::uint16_t tag, const char* name, std::uint8_t order = 0) {
  return {tag, name, true, nullptr, AtData, 0, 0, order};
}
// Data of `before` bytes, then children.
constexpr TChunkTag3DS Leading(std::uint16_t tag, const char* name, TChunkDecoder3DS decode, std::uint8_t before,
                               std::uint8_t order = 0) {
  return {tag, name, false, decode, AfterBytes, before, 0, order};
}
// Data of `before` bytes, a string and `after` bytes, then children.
constexpr TChunkTag3DS Named(std::uint16_t tag, const char* name, TChunkDecoder3DS decode, std::uint8_t before = 0,
                             std::uint8_t after = 0, std::uint8_t order = 0) {
  return {tag, name, false, decode, AfterString, before, after, order};
}
// Data alone, no children; a null decoder keeps the data raw.
constexpr TChunkTag3DS Leaf(std::uint16_t tag, const char* name, TChunkDecoder3DS decode = nullptr,
                            std::uint8_t order = 0) {
  return {tag, name, false, decode, Never, 0, 0, order};
}

const std::vector<TChunkTag3DS>& Table() {
  static const std::vector<TChunkTag3DS> table = [] {
    std::vector<TChunkTag3DS> rows = {
        Leaf(0x0000, "null chunk", nullptr, 1),
        Leading(CHUNK_FILE_VERSION, "file version", ValueData<std::uint32_t>, 4, 5),
        Leading(CHUNK_COLOR_F, "colour", ValueData<TColor3DS>, 12),
        Leading(CHUNK_COLOR_24, "24-bit colour", ValueData<TColor24_3DS>, 3, 8),
        Leaf(CHUNK_LIN_COLOR_24, "linear 24-bit colour", ValueData<TColor24_3DS>, 9),
        Leaf(CHUNK_LIN_COLOR_F, "linear colour", ValueData<TColor3DS>),
        Leading(CHUNK_PERCENT_I, "integer percentage", ValueData<std::uint16_t>, 2),
        Leading(CHUNK_PERCENT_F, "percentage", ValueData<float>, 4),
        Leading(CHUNK_MASTER_SCALE, "master scale", ValueData<float>, 4, 13),
        Named(CHUNK_BACKGROUND_BITMAP, "background bitmap", StringData, 0, 0, 22),
        Leaf(CHUNK_USE_BACKGROUND_BITMAP, "background bitmap on", nullptr, 24),
        Section(CHUNK_SOLID_BACKGROUND, "solid background", 21),
        Leaf(CHUNK_USE_SOLID_BACKGROUND, "solid background on", nullptr, 25),
        Leading(CHUNK_GRADIENT_BACKGROUND, "gradient background", ValueData<float>, 4, 23),
        Leaf(CHUNK_USE_GRADIENT_BACKGROUND, "gradient background on", nullptr, 26),
        Leading(CHUNK_SHADOW_LOW_BIAS, "shadow bias", ValueData<float>, 4, 15),
        Leading(CHUNK_SHADOW_HIGH_BIAS, "high shadow bias", ValueData<float>, 4),
        Leading(CHUNK_SHADOW_MAP_SIZE, "shadow map size", ValueData<std::uint16_t>, 2, 16),
        Leading(CHUNK_SHADOW_SAMPLES, "shadow samples", ValueData<std::uint16_t>, 2),
        Leaf(CHUNK_SHADOW_RANGE, "shadow range", ValueData<std::uint32_t>),
        Leaf(CHUNK_SHADOW_FILTER, "shadow filter", ValueData<float>, 17),
        Leaf(CHUNK_RAY_BIAS, "ray bias", ValueData<float>, 18),
        Leading(CHUNK_CONSTRUCTION_PLANE, "construction plane", ValueData<TAffineVector>, 12, 19),
        Section(CHUNK_AMBIENT_LIGHT, "ambient light", 20),
        Leading(CHUNK_FOG, "fog", FogData, 16, 27),
        Leading(CHUNK_DISTANCE_CUE, "distance cue", FogData, 16, 29),
        Leading(CHUNK_LAYERED_FOG, "layered fog", LayeredFogData, 16, 28),
        // Top chunks of other files of the same family: unknown data, children at once.
        {CHUNK_SHAPE_FILE_TOP, "shape file top", false, nullptr, AtData, 0, 0, 2},
        {CHUNK_LOFTER_FILE_TOP, "lofter file top", false, nullptr, AtData, 0, 0, 3},
        Section(CHUNK_DEFAULT_VIEW, "default view", 30),
        Leading(CHUNK_VIEW_TOP, "top view", StandardViewData, 16),
        Leading(CHUNK_VIEW_BOTTOM, "bottom view", StandardViewData, 16),
        Leading(CHUNK_VIEW_LEFT, "left view", StandardViewData, 16),
        Leading(CHUNK_VIEW_RIGHT, "right view", StandardViewData, 16),
        Leading(CHUNK_VIEW_FRONT, "front view", StandardViewData, 16),
        Leading(CHUNK_VIEW_BACK, "back view", StandardViewData, 16),
        Leading(CHUNK_VIEW_USER, "user view", UserViewData, 28),
        Named(CHUNK_VIEW_CAMERA, "camera view", StringData),
        Section(CHUNK_MESH_DATA, "mesh data", 6),
        Leading(CHUNK_MESH_VERSION, "mesh version", ValueData<std::uint32_t>, 4, 10),
        Section(CHUNK_PROJECT_TOP, "project top"),
        {CHUNK_MATERIAL_FILE_TOP, "material file top", false, nullptr, AtData, 0, 0, 0},
        Named(CHUNK_NAMED_OBJECT, "named object", StringData, 0, 0, 31),
        Leaf(CHUNK_OBJ_HIDDEN, "hidden", nullptr, 1),
        Leaf(CHUNK_OBJ_VIS_LOFTER, "visible in lofter"),
        Leaf(CHUNK_OBJ_NO_CAST, "casts no shadow"),
        Leaf(CHUNK_OBJ_MATTE, "matte"),
        Leaf(CHUNK_OBJ_FAST, "fast display"),
        Leaf(CHUNK_OBJ_PROCEDURAL, "procedural"),
        Leaf(CHUNK_OBJ_FROZEN, "frozen"),
        Leaf(CHUNK_OBJ_NO_RECEIVE, "receives no shadow"),
        Section(CHUNK_TRIANGLE_MESH, "triangle mesh", 1),
        Leaf(CHUNK_VERTEX_LIST, "vertex list", CountedArray<&TVertexListData3DS::Vertices>),
        Leaf(CHUNK_VERTEX_FLAGS, "vertex flags", CountedArray<&TVertexFlagsData3DS::Flags>),
        {CHUNK_FACE_LIST, "face list", false, CountedArray<&TFaceListData3DS::Faces>, AfterFaces, 0, 0, 0},
        Leaf(CHUNK_FACE_MATERIAL, "faces of a material", FaceMaterialData),
        Leaf(CHUNK_TEX_COORDS, "texture coordinates", CountedArray<&TTexCoordsData3DS::TexCoords>),
        Leaf(CHUNK_SMOOTH_GROUPS, "smoothing groups", SmoothGroupsData),
        Leading(CHUNK_MESH_MATRIX, "mesh matrix", MeshMatrixData, 48),
        Leaf(CHUNK_MESH_COLOR, "mesh colour", ValueData<std::uint8_t>),
        Leaf(CHUNK_MAPPING_INFO, "mapping information", MappingInfoData),
        Named(CHUNK_PROC_NAME, "procedure name", StringData),
        Leaf(CHUNK_PROC_DATA, "procedure data", RawData),
        Leaf(CHUNK_BOX_MAP, "box map", BoxMapData),
        Leading(CHUNK_LIGHT, "light", ValueData<TAffineVector>, 12, 1),
        Leading(CHUNK_SPOTLIGHT, "spotlight", SpotlightData, 20),
        Leading(CHUNK_LOCAL_SHADOW, "local shadow", LocalShadowData, 10),
        Leaf(CHUNK_SPOT_PROJECTOR, "spotlight projector", StringData),
        Leaf(CHUNK_LIGHT_EXCLUDE, "excluded object", StringData),
        Leaf(CHUNK_SPOT_ROLL, "spotlight roll", ValueData<float>),
        Leaf(CHUNK_SPOT_ASPECT, "spotlight aspect", ValueData<float>),
        Leaf(CHUNK_LIGHT_RAY_BIAS, "light ray bias", ValueData<float>),
        Leaf(CHUNK_LIGHT_INNER_RANGE, "inner range", ValueData<float>),
        Leaf(CHUNK_LIGHT_OUTER_RANGE, "outer range", ValueData<float>),
        Leaf(CHUNK_LIGHT_MULTIPLIER, "light multiplier", ValueData<float>),
        Leading(CHUNK_CAMERA, "camera", CameraData, 32, 1),
        Leaf(CHUNK_CAMERA_RANGES, "camera ranges", CameraRangesData),
        Section(CHUNK_FILE_TOP, "file top", 4),
        Leading(CHUNK_VIEWPORT_LAYOUT, "viewport layout", Words<7>, 14, 14),
        Leaf(CHUNK_VIEWPORT_DATA, "viewport data", ViewportData),
        Leaf(CHUNK_VIEWPORT_DATA_3, "viewport data", ViewportData),
        Leaf(CHUNK_VIEWPORT_SIZE, "viewport size", Words<4>),
        Section(CHUNK_EXT_SECTION, "extension section"),
        // The whole data is kept, yet children 0x8002-0x800F follow the header at once.
        {CHUNK_EXT_ENTRY, "extension entry", false, RawData, AtData, 0, 0, 0},
        Leaf(CHUNK_EXT_STRING_1, "extension string", StringData),
        Leaf(CHUNK_EXT_STRING_2, "extension string", StringData),
        Leaf(CHUNK_PARENT_NAME, "parent name", StringData),
        Named(CHUNK_MAT_NAME, "material name", StringData),
        Section(CHUNK_MAT_AMBIENT, "ambient colour"),
        Section(CHUNK_MAT_DIFFUSE, "diffuse colour"),
        Section(CHUNK_MAT_SPECULAR, "specular colour"),
        Section(CHUNK_MAT_SHININESS, "shininess"),
        Section(CHUNK_MAT_SHIN_STRENGTH, "shininess strength"),
        Section(CHUNK_MAT_SHIN_THIRD, "third shininess"),
        Section(CHUNK_MAT_TRANSPARENCY, "transparency"),
        Section(CHUNK_MAT_TRANS_FALLOFF, "transparency fall-off"),
        Section(CHUNK_MAT_REFL_BLUR, "reflection blur"),
        Leaf(CHUNK_MAT_SELF_ILLUMINATED, "self-illuminated"),
        Leaf(CHUNK_MAT_TWO_SIDED, "two-sided"),
        Leaf(CHUNK_MAT_DECAL, "decal"),
        Leaf(CHUNK_MAT_ADDITIVE, "additive"),
        Section(CHUNK_MAT_SELF_ILLUM, "self-illumination"),
        Leaf(CHUNK_MAT_WIRE, "wire frame"),
        Leaf(CHUNK_MAT_WIRE_SIZE, "wire size", ValueData<float>),
        Leaf(CHUNK_MAT_FACE_MAPPED, "face mapped"),
        Leaf(CHUNK_MAT_TRANS_IN, "inner transparency"),
        Leaf(CHUNK_MAT_SOFT_PHONG, "soft phong"),
        Leaf(CHUNK_MAT_WIRE_IN_UNITS, "wire size in units"),
        Leaf(CHUNK_MAT_SHADING, "shading", ValueData<std::uint16_t>),
        Section(CHUNK_MAT_TEXTURE_MAP, "texture map"),
        Section(CHUNK_MAT_SPECULAR_MAP, "specular map"),
        Section(CHUNK_MAT_OPACITY_MAP, "opacity map"),
        Section(CHUNK_MAT_REFLECTION_MAP, "reflection map"),
        Section(CHUNK_MAT_BUMP_MAP, "bump map"),
        Leaf(CHUNK_MAT_USE_TRANS_FALLOFF, "transparency fall-off on"),
        Leaf(CHUNK_MAT_USE_REFL_BLUR, "reflection blur on"),
        Leaf(CHUNK_MAT_BUMP_PERCENT, "bump percentage", ValueData<std::uint16_t>),
        Named(CHUNK_MAP_FILE_NAME, "map file name", StringData),
        Leading(CHUNK_MAT_AUTO_REFLECTION, "automatic reflection", AutoReflectionData, 12),
        Leaf(CHUNK_MAT_TEXTURE_PROC, "texture map procedure", RawData),
        Leaf(CHUNK_MAT_TEXTURE2_PROC, "second texture map procedure", RawData),
        Leaf(CHUNK_MAT_OPACITY_PROC, "opacity map procedure", RawData),
        Leaf(CHUNK_MAT_BUMP_PROC, "bump map procedure", RawData),
        Leaf(CHUNK_MAT_SPECULAR_PROC, "specular map procedure", RawData),
        Leaf(CHUNK_MAT_SHININESS_PROC, "shininess map procedure", RawData),
        Leaf(CHUNK_MAT_SELF_ILLUM_PROC, "self-illumination map procedure", RawData),
        Leaf(CHUNK_MAT_TEXTURE_MASK_PROC, "texture mask procedure", RawData),
        Leaf(CHUNK_MAT_TEXTURE2_MASK_PROC, "second texture mask procedure", RawData),
        Leaf(CHUNK_MAT_OPACITY_MASK_PROC, "opacity mask procedure", RawData),
        Leaf(CHUNK_MAT_BUMP_MASK_PROC, "bump mask procedure", RawData),
        Leaf(CHUNK_MAT_SPECULAR_MASK_PROC, "specular mask procedure", RawData),
        Leaf(CHUNK_MAT_SHININESS_MASK_PROC, "shininess mask procedure", RawData),
        Leaf(CHUNK_MAT_SELF_ILLUM_MASK_PROC, "self-illumination mask procedure", RawData),
        Leaf(CHUNK_MAT_REFLECTION_MASK_PROC, "reflection mask procedure", RawData),
        Section(CHUNK_MAT_TEXTURE2_MAP, "second texture map"),
        Section(CHUNK_MAT_SHININESS_MAP, "shininess map"),
        Section(CHUNK_MAT_SELF_ILLUM_MAP, "self-illumination map"),
        Section(CHUNK_MAT_TEXTURE_MASK, "texture mask"),
        Section(CHUNK_MAT_TEXTURE2_MASK, "second texture mask"),
        Section(CHUNK_MAT_OPACITY_MASK, "opacity mask"),
        Section(CHUNK_MAT_BUMP_MASK, "bump mask"),
        Section(CHUNK_MAT_SHININESS_MASK, "shininess mask"),
        Section(CHUNK_MAT_SPECULAR_MASK, "specular mask"),
        Section(CHUNK_MAT_SELF_ILLUM_MASK, "self-illumination mask"),
        Section(CHUNK_MAT_REFLECTION_MASK, "reflection mask"),
        Leaf(CHUNK_MAP_FLAGS, "map flags", ValueData<std::int16_t>),
        Leaf(CHUNK_MAP_BLUR, "map blur", ValueData<float>),
        Leaf(CHUNK_MAP_U_SCALE, "map u scale", ValueData<float>),
        Leaf(CHUNK_MAP_V_SCALE, "map v scale", ValueData<float>),
        Leaf(CHUNK_MAP_U_OFFSET, "map u offset", ValueData<float>),
        Leaf(CHUNK_MAP_V_OFFSET, "map v offset", ValueData<float>),
        Leaf(CHUNK_MAP_ROTATION, "map rotation", ValueData<float>),
        Leaf(CHUNK_MAP_TINT_1, "map tint 1", ValueData<TColor24_3DS>),
        Leaf(CHUNK_MAP_TINT_2, "map tint 2", ValueData<TColor24_3DS>),
        Leaf(CHUNK_MAP_RED_TINT, "map red tint", ValueData<TColor24_3DS>),
        Leaf(CHUNK_MAP_GREEN_TINT, "map green tint", ValueData<TColor24_3DS>),
        Leaf(CHUNK_MAP_BLUE_TINT, "map blue tint", ValueData<TColor24_3DS>),
        Section(CHUNK_MAT_ENTRY, "material entry", 11),
        Section(CHUNK_KEYFRAMER, "key framer", 7),
        Section(CHUNK_KF_AMBIENT_NODE, "ambient node", 35),
        Section(CHUNK_KF_OBJECT_NODE, "object node", 34),
        Section(CHUNK_KF_CAMERA_NODE, "camera node", 34),
        Section(CHUNK_KF_TARGET_NODE, "camera target node", 34),
        Section(CHUNK_KF_LIGHT_NODE, "light node"),
        Section(CHUNK_KF_LIGHT_TARGET_NODE, "light target node", 34),
        Section(CHUNK_KF_SPOTLIGHT_NODE, "spotlight node", 34),
        Leading(CHUNK_KF_SEGMENT, "key-framer segment", SegmentData, 8, 32),
        Leading(CHUNK_KF_CURRENT_FRAME, "current frame", ValueData<std::uint32_t>, 4, 33),
        Named(CHUNK_KF_HEADER, "key-framer header", KeyFramerHeaderData, 2, 4, 12),
        Named(CHUNK_KF_NODE_HEADER, "node header", NodeHeaderData, 0, 6),
        Named(CHUNK_KF_INSTANCE_NAME, "instance name", StringData),
        Leading(CHUNK_KF_PIVOT, "pivot", ValueData<TAffineVector>, 12),
        Leading(CHUNK_KF_BOUNDING_BOX, "bounding box", BoundingBoxData, 24),
        Leading(CHUNK_KF_MORPH_SMOOTH, "morph smoothing angle", ValueData<float>, 4),
        Leaf(CHUNK_KF_POSITION_TRACK, "position track", ValueTrack<TAffineVector, ReadPoint>),
        Leaf(CHUNK_KF_ROTATION_TRACK, "rotation track", ValueTrack<TRotationKey3DS, ReadRotationKey>),
        Leaf(CHUNK_KF_SCALE_TRACK, "scale track", ValueTrack<TAffineVector, ReadPoint>),
        Leaf(CHUNK_KF_FOV_TRACK, "field-of-view track", ValueTrack<float, ReadFloat>),
        Leaf(CHUNK_KF_ROLL_TRACK, "roll track", ValueTrack<float, ReadFloat>),
        Leaf(CHUNK_KF_COLOR_TRACK, "colour track", ValueTrack<TAffineVector, ReadPoint>),
        Leaf(CHUNK_KF_MORPH_TRACK, "morph track", ValueTrack<std::string, ReadString>),
        Leaf(CHUNK_KF_HOTSPOT_TRACK, "hot-spot track", ValueTrack<float, ReadFloat>),
        Leaf(CHUNK_KF_FALLOFF_TRACK, "fall-off track", ValueTrack<float, ReadFloat>),
        Leaf(CHUNK_KF_HIDE_TRACK, "hide track", HideTrack),
        Leading(CHUNK_KF_NODE_ID, "node identifier", ValueData<std::uint16_t>, 2),
        Section(CHUNK_LIBRARY_TOP, "material library top"),
        // Not decoded, but its children follow four bytes of data.
        Leading(CHUNK_VIEWPORT_SETTINGS, "viewport settings", nullptr, 4),
    };
    BRV_ASSERT_MSG(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.Tag < b.Tag; }) &&
                       std::adjacent_find(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
                         return a.Tag == b.Tag;
                       }) == rows.end(),
                   "ChunkTags3DS(): the rows are not in strictly ascending order of tag");
    return rows;
  }();
  return table;
}

}  // namespace

const std::vector<TChunkTag3DS>& ChunkTags3DS() { return Table(); }

const TChunkTag3DS* FindChunkTag(std::uint16_t tag) {
  const std::vector<TChunkTag3DS>& rows = Table();
  auto row = std::lower_bound(rows.begin(), rows.end(), tag, [](const TChunkTag3DS& r, std::uint16_t t) {
    return r.Tag < t;
  });
  return row != rows.end() && row->Tag == tag ? &*row : nullptr;
}

std::string TagName(std::uint16_t tag) {
  const TChunkTag3DS* row = FindChunkTag(tag);
  return row ? row->Name : std::string();
}

int ChunkOrder(std::uint16_t tag) {
  const TChunkTag3DS* row = FindChunkTag(tag);
  return row ? row->WriteOrder : 0;
}

// ---------------------------------------------------------------------------
// Children and data of one chunk

std::uint64_t FirstChildOffset(TStream& stream, const TChunkNode& node) {
  BRV_ASSERT(node.Size >= CHUNK_HEADER_SIZE);
  const std::uint64_t dataSize = node.Size - CHUNK_HEADER_SIZE;
  const TChunkTag3DS* row = FindChunkTag(node.Tag);
  if (!row) return dataSize;
  auto dataReader = [&] {
    return TChunkReader3DS(stream, node.Position + std::uint64_t(CHUNK_HEADER_SIZE), node.End(), node.Tag);
  };
  switch (row->ChildStart) {
    case AtData:
      return 0;
    case AfterBytes:
      return std::min<std::uint64_t>(row->Before, dataSize);
    case AfterString: {
      if (dataSize < row->Before) return dataSize;
      TChunkReader3DS reader = dataReader();
      reader.Skip(row->Before);
      if (!reader.TrySkipString() || reader.Remaining() < row->After) return dataSize;
      return dataSize - reader.Remaining() + row->After;
    }
    case AfterFaces: {
      if (dataSize < 2) return dataSize;
      TChunkReader3DS reader = dataReader();
      return std::min(2 + 8 * std::uint64_t(reader.Value<std::uint16_t>()), dataSize);
    }
    case Never:
      return dataSize;
  }
  AssertionFailure("FirstChildOffset(): unknown child start of " + TagText(node.Tag), __FILE__, __LINE__);
}

void DecodeChunkData(TStream& stream, TChunkNode& node) {
  if (node.Data || node.Added) return;
  if (node.Size < CHUNK_HEADER_SIZE)
    Raise3DSInvalidChunk("Chunk " + TagText(node.Tag) + " at offset " + std::to_string(node.Position) +
                         " has size " + std::to_string(node.Size) + ", less than its header");
  const TChunkTag3DS* row = FindChunkTag(node.Tag);
  if (row && row->Section) return;
  try {
    TChunkReader3DS reader(stream, std::uint64_t(node.Position) + CHUNK_HEADER_SIZE, node.End(), node.Tag);
    if (row && row->Decode)
      node.Data = row->Decode(reader);
    else if (node.Size > CHUNK_HEADER_SIZE)
      // Tags without a layout of their own are kept only when they hold something.
      node.Data = RawData(reader);
  } catch (const std::bad_alloc&) {
    Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
  } catch (const EStreamError&) {
    // The chunk was inside the stream when the tree was read: the stream has changed.
    Raise3DSInvalidChunk("Chunk " + TagText(node.Tag) + " at offset " + std::to_string(node.Position) +
                         " ends past the end of the stream");
  }
}

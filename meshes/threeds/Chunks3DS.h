#pragma once
// 3DS files as a tree of chunks: the exception of the 3DS reader, the chunk tags, the
// in-memory chunk node with its tree operations, and the decoded data records of the
// tags the reader understands.
//
// On disk every chunk is a 6-byte header (u16 tag, u32 size of the whole chunk with
// the header) followed by the tag's data and then, for tags that have any, child
// chunks up to the chunk's end. All values are little-endian.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Geometry.h"
#include "base/Streams.h"
#include "base/VectorLists.h"

// ---------------------------------------------------------------------------
// Errors

// Raised by the 3DS reader: Code() is the message's resource number.
class E3DSError : public Exception {
public:
  E3DSError(int code, const std::string& text) : Exception(text), FCode(code) {}
  int Code() const { return FCode; }

private:
  int FCode;
};

inline constexpr int ERR_3DS_OUT_OF_MEMORY = 65225;
inline constexpr int ERR_3DS_INVALID_CHUNK = 65226;
inline constexpr int ERR_3DS_NO_DATABASE = 65227;
inline constexpr int ERR_3DS_WRONG_DATABASE = 65228;
inline constexpr int ERR_3DS_WRONG_OBJECT = 65229;
inline constexpr int ERR_3DS_INVALID_INDEX = 65230;

// The fixed text of a message number (65230 takes the index, see Raise3DSIndexError).
std::string Text3DSError(int code);
[[noreturn]] void Raise3DSError(int code);
// 65230 "Invalid index %d." with the index.
[[noreturn]] void Raise3DSIndexError(int index);
// A file whose chunks do not fit together: 65226, its text followed by a line that
// says what was found where.
[[noreturn]] void Raise3DSInvalidChunk(const std::string& detail);

// ---------------------------------------------------------------------------
// Tags: every tag the reader knows (the table in ChunkTags3DS.cpp says what each holds).

inline constexpr std::uint16_t CHUNK_FILE_VERSION = 0x0002;
inline constexpr std::uint16_t CHUNK_COLOR_F = 0x0010;
inline constexpr std::uint16_t CHUNK_COLOR_24 = 0x0011;
inline constexpr std::uint16_t CHUNK_LIN_COLOR_24 = 0x0012;
inline constexpr std::uint16_t CHUNK_LIN_COLOR_F = 0x0013;
inline constexpr std::uint16_t CHUNK_PERCENT_I = 0x0030;
inline constexpr std::uint16_t CHUNK_PERCENT_F = 0x0031;
inline constexpr std::uint16_t CHUNK_MASTER_SCALE = 0x0100;
inline constexpr std::uint16_t CHUNK_BACKGROUND_BITMAP = 0x1100;
inline constexpr std::uint16_t CHUNK_USE_BACKGROUND_BITMAP = 0x1101;
inline constexpr std::uint16_t CHUNK_SOLID_BACKGROUND = 0x1200;
inline constexpr std::uint16_t CHUNK_USE_SOLID_BACKGROUND = 0x1201;
inline constexpr std::uint16_t CHUNK_GRADIENT_BACKGROUND = 0x1300;
inline constexpr std::uint16_t CHUNK_USE_GRADIENT_BACKGROUND = 0x1301;
inline constexpr std::uint16_t CHUNK_SHADOW_LOW_BIAS = 0x1400;
inline constexpr std::uint16_t CHUNK_SHADOW_HIGH_BIAS = 0x1410;
inline constexpr std::uint16_t CHUNK_SHADOW_MAP_SIZE = 0x1420;
inline constexpr std::uint16_t CHUNK_SHADOW_SAMPLES = 0x1430;
inline constexpr std::uint16_t CHUNK_SHADOW_RANGE = 0x1440;
inline constexpr std::uint16_t CHUNK_SHADOW_FILTER = 0x1450;
inline constexpr std::uint16_t CHUNK_RAY_BIAS = 0x1460;
inline constexpr std::uint16_t CHUNK_CONSTRUCTION_PLANE = 0x1500;
inline constexpr std::uint16_t CHUNK_AMBIENT_LIGHT = 0x2100;
inline constexpr std::uint16_t CHUNK_FOG = 0x2200;
inline constexpr std::uint16_t CHUNK_DISTANCE_CUE = 0x2300;
inline constexpr std::uint16_t CHUNK_LAYERED_FOG = 0x2302;
inline constexpr std::uint16_t CHUNK_SHAPE_FILE_TOP = 0x2D2D;
inline constexpr std::uint16_t CHUNK_LOFTER_FILE_TOP = 0x2D3D;
inline constexpr std::uint16_t CHUNK_DEFAULT_VIEW = 0x3000;
inline constexpr std::uint16_t CHUNK_VIEW_TOP = 0x3010;
inline constexpr std::uint16_t CHUNK_VIEW_BOTTOM = 0x3020;
inline constexpr std::uint16_t CHUNK_VIEW_LEFT = 0x3030;
inline constexpr std::uint16_t CHUNK_VIEW_RIGHT = 0x3040;
inline constexpr std::uint16_t CHUNK_VIEW_FRONT = 0x3050;
inline constexpr std::uint16_t CHUNK_VIEW_BACK = 0x3060;
inline constexpr std::uint16_t CHUNK_VIEW_USER = 0x3070;
inline constexpr std::uint16_t CHUNK_VIEW_CAMERA = 0x3080;
inline constexpr std::uint16_t CHUNK_MESH_DATA = 0x3D3D;
inline constexpr std::uint16_t CHUNK_MESH_VERSION = 0x3D3E;
inline constexpr std::uint16_t CHUNK_PROJECT_TOP = 0x3DAA;
inline constexpr std::uint16_t CHUNK_MATERIAL_FILE_TOP = 0x3DFF;
inline constexpr std::uint16_t CHUNK_NAMED_OBJECT = 0x4000;
inline constexpr std::uint16_t CHUNK_OBJ_HIDDEN = 0x4010;
inline constexpr std::uint16_t CHUNK_OBJ_VIS_LOFTER = 0x4011;
inline constexpr std::uint16_t CHUNK_OBJ_NO_CAST = 0x4012;
inline constexpr std::uint16_t CHUNK_OBJ_MATTE = 0x4013;
inline constexpr std::uint16_t CHUNK_OBJ_FAST = 0x4014;
inline constexpr std::uint16_t CHUNK_OBJ_PROCEDURAL = 0x4015;
inline constexpr std::uint16_t CHUNK_OBJ_FROZEN = 0x4016;
inline constexpr std::uint16_t CHUNK_OBJ_NO_RECEIVE = 0x4017;
inline constexpr std::uint16_t CHUNK_TRIANGLE_MESH = 0x4100;
inline constexpr std::uint16_t CHUNK_VERTEX_LIST = 0x4110;
inline constexpr std::uint16_t CHUNK_VERTEX_FLAGS = 0x4111;
inline constexpr std::uint16_t CHUNK_FACE_LIST = 0x4120;
inline constexpr std::uint16_t CHUNK_FACE_MATERIAL = 0x4130;
inline constexpr std::uint16_t CHUNK_TEX_COORDS = 0x4140;
inline constexpr std::uint16_t CHUNK_SMOOTH_GROUPS = 0x4150;
inline constexpr std::uint16_t CHUNK_MESH_MATRIX = 0x4160;
inline constexpr std::uint16_t CHUNK_MESH_COLOR = 0x4165;
inline constexpr std::uint16_t CHUNK_MAPPING_INFO = 0x4170;
inline constexpr std::uint16_t CHUNK_PROC_NAME = 0x4181;
inline constexpr std::uint16_t CHUNK_PROC_DATA = 0x4182;
inline constexpr std::uint16_t CHUNK_BOX_MAP = 0x4190;
inline constexpr std::uint16_t CHUNK_LIGHT = 0x4600;
inline constexpr std::uint16_t CHUNK_SPOTLIGHT = 0x4610;
inline constexpr std::uint16_t CHUNK_LOCAL_SHADOW = 0x4641;
inline constexpr std::uint16_t CHUNK_SPOT_PROJECTOR = 0x4653;
inline constexpr std::uint16_t CHUNK_LIGHT_EXCLUDE = 0x4654;
inline constexpr std::uint16_t CHUNK_SPOT_ROLL = 0x4656;
inline constexpr std::uint16_t CHUNK_SPOT_ASPECT = 0x4657;
inline constexpr std::uint16_t CHUNK_LIGHT_RAY_BIAS = 0x4658;
inline constexpr std::uint16_t CHUNK_LIGHT_INNER_RANGE = 0x4659;
inline constexpr std::uint16_t CHUNK_LIGHT_OUTER_RANGE = 0x465A;
inline constexpr std::uint16_t CHUNK_LIGHT_MULTIPLIER = 0x465B;
inline constexpr std::uint16_t CHUNK_CAMERA = 0x4700;
inline constexpr std::uint16_t CHUNK_CAMERA_RANGES = 0x4720;
inline constexpr std::uint16_t CHUNK_FILE_TOP = 0x4D4D;
inline constexpr std::uint16_t CHUNK_VIEWPORT_LAYOUT = 0x7001;
inline constexpr std::uint16_t CHUNK_VIEWPORT_DATA = 0x7011;
inline constexpr std::uint16_t CHUNK_VIEWPORT_DATA_3 = 0x7012;
inline constexpr std::uint16_t CHUNK_VIEWPORT_SIZE = 0x7020;
inline constexpr std::uint16_t CHUNK_EXT_SECTION = 0x8000;
inline constexpr std::uint16_t CHUNK_EXT_ENTRY = 0x8001;
inline constexpr std::uint16_t CHUNK_EXT_STRING_1 = 0x8002;
inline constexpr std::uint16_t CHUNK_EXT_STRING_2 = 0x8003;
inline constexpr std::uint16_t CHUNK_PARENT_NAME = 0x80F0;
inline constexpr std::uint16_t CHUNK_MAT_NAME = 0xA000;
inline constexpr std::uint16_t CHUNK_MAT_AMBIENT = 0xA010;
inline constexpr std::uint16_t CHUNK_MAT_DIFFUSE = 0xA020;
inline constexpr std::uint16_t CHUNK_MAT_SPECULAR = 0xA030;
inline constexpr std::uint16_t CHUNK_MAT_SHININESS = 0xA040;
inline constexpr std::uint16_t CHUNK_MAT_SHIN_STRENGTH = 0xA041;
inline constexpr std::uint16_t CHUNK_MAT_SHIN_THIRD = 0xA042;
inline constexpr std::uint16_t CHUNK_MAT_TRANSPARENCY = 0xA050;
inline constexpr std::uint16_t CHUNK_MAT_TRANS_FALLOFF = 0xA052;
inline constexpr std::uint16_t CHUNK_MAT_REFL_BLUR = 0xA053;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUMINATED = 0xA080;
inline constexpr std::uint16_t CHUNK_MAT_TWO_SIDED = 0xA081;
inline constexpr std::uint16_t CHUNK_MAT_DECAL = 0xA082;
inline constexpr std::uint16_t CHUNK_MAT_ADDITIVE = 0xA083;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUM = 0xA084;
inline constexpr std::uint16_t CHUNK_MAT_WIRE = 0xA085;
inline constexpr std::uint16_t CHUNK_MAT_WIRE_SIZE = 0xA087;
inline constexpr std::uint16_t CHUNK_MAT_FACE_MAPPED = 0xA088;
inline constexpr std::uint16_t CHUNK_MAT_TRANS_IN = 0xA08A;
inline constexpr std::uint16_t CHUNK_MAT_SOFT_PHONG = 0xA08C;
inline constexpr std::uint16_t CHUNK_MAT_WIRE_IN_UNITS = 0xA08E;
inline constexpr std::uint16_t CHUNK_MAT_SHADING = 0xA100;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE_MAP = 0xA200;
inline constexpr std::uint16_t CHUNK_MAT_SPECULAR_MAP = 0xA204;
inline constexpr std::uint16_t CHUNK_MAT_OPACITY_MAP = 0xA210;
inline constexpr std::uint16_t CHUNK_MAT_REFLECTION_MAP = 0xA220;
inline constexpr std::uint16_t CHUNK_MAT_BUMP_MAP = 0xA230;
inline constexpr std::uint16_t CHUNK_MAT_USE_TRANS_FALLOFF = 0xA240;
inline constexpr std::uint16_t CHUNK_MAT_USE_REFL_BLUR = 0xA250;
inline constexpr std::uint16_t CHUNK_MAT_BUMP_PERCENT = 0xA252;
inline constexpr std::uint16_t CHUNK_MAP_FILE_NAME = 0xA300;
inline constexpr std::uint16_t CHUNK_MAT_AUTO_REFLECTION = 0xA310;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE_PROC = 0xA320;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE2_PROC = 0xA321;
inline constexpr std::uint16_t CHUNK_MAT_OPACITY_PROC = 0xA322;
inline constexpr std::uint16_t CHUNK_MAT_BUMP_PROC = 0xA324;
inline constexpr std::uint16_t CHUNK_MAT_SPECULAR_PROC = 0xA325;
inline constexpr std::uint16_t CHUNK_MAT_SHININESS_PROC = 0xA326;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUM_PROC = 0xA328;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE_MASK_PROC = 0xA32A;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE2_MASK_PROC = 0xA32C;
inline constexpr std::uint16_t CHUNK_MAT_OPACITY_MASK_PROC = 0xA32E;
inline constexpr std::uint16_t CHUNK_MAT_BUMP_MASK_PROC = 0xA330;
inline constexpr std::uint16_t CHUNK_MAT_SPECULAR_MASK_PROC = 0xA332;
inline constexpr std::uint16_t CHUNK_MAT_SHININESS_MASK_PROC = 0xA334;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUM_MASK_PROC = 0xA336;
inline constexpr std::uint16_t CHUNK_MAT_REFLECTION_MASK_PROC = 0xA338;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE2_MAP = 0xA33A;
inline constexpr std::uint16_t CHUNK_MAT_SHININESS_MAP = 0xA33C;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUM_MAP = 0xA33D;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE_MASK = 0xA33E;
inline constexpr std::uint16_t CHUNK_MAT_TEXTURE2_MASK = 0xA340;
inline constexpr std::uint16_t CHUNK_MAT_OPACITY_MASK = 0xA342;
inline constexpr std::uint16_t CHUNK_MAT_BUMP_MASK = 0xA344;
inline constexpr std::uint16_t CHUNK_MAT_SHININESS_MASK = 0xA346;
inline constexpr std::uint16_t CHUNK_MAT_SPECULAR_MASK = 0xA348;
inline constexpr std::uint16_t CHUNK_MAT_SELF_ILLUM_MASK = 0xA34A;
inline constexpr std::uint16_t CHUNK_MAT_REFLECTION_MASK = 0xA34C;
inline constexpr std::uint16_t CHUNK_MAP_FLAGS = 0xA351;
inline constexpr std::uint16_t CHUNK_MAP_BLUR = 0xA353;
inline constexpr std::uint16_t CHUNK_MAP_U_SCALE = 0xA354;
inline constexpr std::uint16_t CHUNK_MAP_V_SCALE = 0xA356;
inline constexpr std::uint16_t CHUNK_MAP_U_OFFSET = 0xA358;
inline constexpr std::uint16_t CHUNK_MAP_V_OFFSET = 0xA35A;
inline constexpr std::uint16_t CHUNK_MAP_ROTATION = 0xA35C;
inline constexpr std::uint16_t CHUNK_MAP_TINT_1 = 0xA360;
inline constexpr std::uint16_t CHUNK_MAP_TINT_2 = 0xA362;
inline constexpr std::uint16_t CHUNK_MAP_RED_TINT = 0xA364;
inline constexpr std::uint16_t CHUNK_MAP_GREEN_TINT = 0xA366;
inline constexpr std::uint16_t CHUNK_MAP_BLUE_TINT = 0xA368;
inline constexpr std::uint16_t CHUNK_MAT_ENTRY = 0xAFFF;
inline constexpr std::uint16_t CHUNK_KEYFRAMER = 0xB000;
inline constexpr std::uint16_t CHUNK_KF_AMBIENT_NODE = 0xB001;
inline constexpr std::uint16_t CHUNK_KF_OBJECT_NODE = 0xB002;
inline constexpr std::uint16_t CHUNK_KF_CAMERA_NODE = 0xB003;
inline constexpr std::uint16_t CHUNK_KF_TARGET_NODE = 0xB004;
inline constexpr std::uint16_t CHUNK_KF_LIGHT_NODE = 0xB005;
inline constexpr std::uint16_t CHUNK_KF_LIGHT_TARGET_NODE = 0xB006;
inline constexpr std::uint16_t CHUNK_KF_SPOTLIGHT_NODE = 0xB007;
inline constexpr std::uint16_t CHUNK_KF_SEGMENT = 0xB008;
inline constexpr std::uint16_t CHUNK_KF_CURRENT_FRAME = 0xB009;
inline constexpr std::uint16_t CHUNK_KF_HEADER = 0xB00A;
inline constexpr std::uint16_t CHUNK_KF_NODE_HEADER = 0xB010;
inline constexpr std::uint16_t CHUNK_KF_INSTANCE_NAME = 0xB011;
inline constexpr std::uint16_t CHUNK_KF_PIVOT = 0xB013;
inline constexpr std::uint16_t CHUNK_KF_BOUNDING_BOX = 0xB014;
inline constexpr std::uint16_t CHUNK_KF_MORPH_SMOOTH = 0xB015;
inline constexpr std::uint16_t CHUNK_KF_POSITION_TRACK = 0xB020;
inline constexpr std::uint16_t CHUNK_KF_ROTATION_TRACK = 0xB021;
inline constexpr std::uint16_t CHUNK_KF_SCALE_TRACK = 0xB022;
inline constexpr std::uint16_t CHUNK_KF_FOV_TRACK = 0xB023;
inline constexpr std::uint16_t CHUNK_KF_ROLL_TRACK = 0xB024;
inline constexpr std::uint16_t CHUNK_KF_COLOR_TRACK = 0xB025;
inline constexpr std::uint16_t CHUNK_KF_MORPH_TRACK = 0xB026;
inline constexpr std::uint16_t CHUNK_KF_HOTSPOT_TRACK = 0xB027;
inline constexpr std::uint16_t CHUNK_KF_FALLOFF_TRACK = 0xB028;
inline constexpr std::uint16_t CHUNK_KF_HIDE_TRACK = 0xB029;
inline constexpr std::uint16_t CHUNK_KF_NODE_ID = 0xB030;
inline constexpr std::uint16_t CHUNK_LIBRARY_TOP = 0xC23D;
inline constexpr std::uint16_t CHUNK_VIEWPORT_SETTINGS = 0xD000;

inline constexpr std::uint32_t CHUNK_HEADER_SIZE = 6;
// Real files nest chunks six levels deep at most; far deeper nesting is a hostile
// file and is refused before it can exhaust the stack.
inline constexpr int MAX_CHUNK_DEPTH = 64;
// Strings are read into a 256-byte buffer: longer ones are cut to this many characters.
inline constexpr std::size_t MAX_CHUNK_STRING = 255;

// ---------------------------------------------------------------------------
// The tag table: what every known tag holds. The reader decodes, finds children and
// orders inserted chunks by it, and the chunk writer checks what it writes against it.

struct TChunkData3DS;
class TChunkReader3DS;

// Decodes one chunk's data, read within the chunk's bounds.
using TChunkDecoder3DS = std::unique_ptr<TChunkData3DS> (*)(TChunkReader3DS& reader);

// Where a chunk's children start, counted from the end of its header.
enum class TChildStart3DS : std::uint8_t {
  AtData,       // right away: any data of the chunk is read as its children
  AfterBytes,   // after Before bytes of data
  AfterString,  // after Before bytes, a zero-terminated string and After bytes
  AfterFaces,   // after a u16 count n and n faces of 8 bytes
  Never,        // the data fills the chunk: it has no children
};

struct TChunkTag3DS {
  std::uint16_t Tag;
  const char* Name;
  // A section holds children only: it decodes to no data.
  bool Section;
  // Null for a tag without a layout of its own: its data is kept as raw bytes when
  // the chunk holds any.
  TChunkDecoder3DS Decode;
  TChildStart3DS ChildStart;
  std::uint8_t Before, After;
  // Siblings are written in ascending order of this value; 0 places no constraint.
  // An inserted chunk goes among its siblings by it too (InsertChildOrdered).
  std::uint8_t WriteOrder;
};

// Every known tag, in ascending order of tag.
const std::vector<TChunkTag3DS>& ChunkTags3DS();
// The row of `tag`, or null for a tag the reader does not know.
const TChunkTag3DS* FindChunkTag(std::uint16_t tag);
// The tag's name ("face list"); empty for an unknown tag.
std::string TagName(std::uint16_t tag);

// ---------------------------------------------------------------------------
// Decoded chunk data

struct TChunkData3DS {
  virtual ~TChunkData3DS() = default;
};

// The tags whose data is one value: numbers, colours, points and strings.
template <class T>
struct TValueData3DS : TChunkData3DS {
  T Value{};
};

struct TColor3DS {
  float R, G, B;
};
struct TColor24_3DS {
  std::uint8_t R, G, B;
};

struct TFace3DS {
  std::uint16_t V1, V2, V3, Flags;
};
static_assert(sizeof(TFace3DS) == 8 && sizeof(TAffineVector) == 12 && sizeof(TTexPoint) == 8);

// Four rows of three: the rotation and scale rows, then the translation.
using TMatrix3DS = std::array<float, 12>;

// Tags kept as a byte block: procedure data, extension entries, unknown tags.
struct TRawData3DS : TChunkData3DS {
  std::vector<std::uint8_t> Bytes;
};
// 0x2200 fog and 0x2300 distance cue.
struct TFogData3DS : TChunkData3DS {
  float NearPlane, NearDensity, FarPlane, FarDensity;
};
struct TLayeredFogData3DS : TChunkData3DS {
  float ZMin, ZMax, Density;
  std::int32_t Flags;
};
// 0x3010-0x3060.
struct TStandardViewData3DS : TChunkData3DS {
  float Width;
  TAffineVector Target;
};
struct TUserViewData3DS : TChunkData3DS {
  float Width, XYAngle, YZAngle, BankAngle;
  TAffineVector Target;
};
struct TVertexListData3DS : TChunkData3DS {
  std::vector<TAffineVector> Vertices;
};
struct TVertexFlagsData3DS : TChunkData3DS {
  std::vector<std::uint16_t> Flags;
};
struct TFaceListData3DS : TChunkData3DS {
  std::vector<TFace3DS> Faces;
};
struct TFaceMaterialData3DS : TChunkData3DS {
  std::string MaterialName;
  std::vector<std::uint16_t> FaceIndices;
};
struct TTexCoordsData3DS : TChunkData3DS {
  std::vector<TTexPoint> TexCoords;
};
struct TSmoothGroupsData3DS : TChunkData3DS {
  std::vector<std::uint32_t> Masks;
};
struct TMeshMatrixData3DS : TChunkData3DS {
  TMatrix3DS Matrix;
};
struct TMappingInfoData3DS : TChunkData3DS {
  std::uint16_t MapType;
  float TileX, TileY;
  TAffineVector IconPosition;
  float IconScale;
  TMatrix3DS Matrix;
  float PlanarWidth, PlanarHeight, CylinderHeight;
};
struct TBoxMapData3DS : TChunkData3DS {
  std::array<std::string, 6> MaterialNames;
};
struct TSpotlightData3DS : TChunkData3DS {
  TAffineVector Target;
  float HotSpot, FallOff;
};
struct TLocalShadowData3DS : TChunkData3DS {
  float Bias, Filter;
  std::uint16_t MapSize;
};
struct TCameraData3DS : TChunkData3DS {
  TAffineVector Position, Target;
  float Roll;  // degrees
  float FocalLength;
};
struct TCameraRangesData3DS : TChunkData3DS {
  float NearRange, FarRange;
};
// 0x7001 viewport layout (7 values) and 0x7020 viewport size (4 values).
struct TWordsData3DS : TChunkData3DS {
  std::vector<std::uint16_t> Words;
};
struct TViewportData3DS : TChunkData3DS {
  std::array<std::uint16_t, 7> Words;
  float Zoom;
  TAffineVector Center;
  float HorizontalAngle, VerticalAngle;
  std::string CameraName;
};
struct TAutoReflectionData3DS : TChunkData3DS {
  std::uint8_t Type, AntiAlias;
  std::uint16_t Flags;
  std::int32_t Size, FrameStep;
};
struct TSegmentData3DS : TChunkData3DS {
  std::uint32_t FirstFrame, LastFrame;
};
struct TKeyFramerHeaderData3DS : TChunkData3DS {
  std::uint16_t Revision;
  std::string FileName;
  std::uint32_t AnimationLength;
};
struct TNodeHeaderData3DS : TChunkData3DS {
  std::string Name;
  std::int16_t Flags1, Flags2;
  std::uint16_t ParentIndex;
};
struct TBoundingBoxData3DS : TChunkData3DS {
  TAffineVector Min, Max;
};

// A key's frame and the spline values its flags announce (absent ones are zero).
struct TKeyHeader3DS {
  std::int32_t Time;
  std::uint16_t SplineFlags;
  float Tension, Continuity, Bias, EaseTo, EaseFrom;
};
struct TRotationKey3DS {
  float Angle;
  TAffineVector Axis;
};
// 0xB029 hide track: the key headers alone. The other tracks add one value per key.
struct TTrackData3DS : TChunkData3DS {
  std::uint16_t Flags;
  std::uint32_t Reserved1, Reserved2;
  std::uint32_t KeyCount;
  std::vector<TKeyHeader3DS> KeyHeaders;
};
template <class T>
struct TValueTrackData3DS : TTrackData3DS {
  std::vector<T> Values;
};

// ---------------------------------------------------------------------------
// Chunk nodes

struct TChunkNode {
  std::uint16_t Tag = 0;
  std::uint32_t Size = 0;
  std::uint32_t Position = 0;  // stream offset of the header
  std::unique_ptr<TChunkData3DS> Data;
  std::unique_ptr<TChunkNode> Sibling;
  std::unique_ptr<TChunkNode> Children;  // the first child
  // Data set by the reader, not read from the stream (the parent names of the key
  // framer): it is never decoded from the stream again.
  bool Added = false;

  TChunkNode() = default;
  TChunkNode(const TChunkNode&) = delete;
  TChunkNode& operator=(const TChunkNode&) = delete;
  // Frees the children and the following siblings without recursion, so that long
  // chains and deep trees cannot exhaust the stack.
  ~TChunkNode();

  std::uint64_t End() const { return std::uint64_t(Position) + Size; }
};

// A zero-filled node; 65225 when memory runs out.
std::unique_ptr<TChunkNode> NewChunk();
// The child becomes the last in the parent's chain.
void AppendChild(TChunkNode& parent, std::unique_ptr<TChunkNode> child);
// Keeps the children in descending ChunkOrder; a child goes after those of equal order.
void InsertChildOrdered(TChunkNode& parent, std::unique_ptr<TChunkNode> child);
// Depth-first, pre-order: the node itself, then each child's sub-tree in turn. Null
// for a null node or when no node has the tag.
TChunkNode* FindChunkByTag(TChunkNode* node, std::uint16_t tag);
// The node itself or a following sibling with the tag; never a child.
TChunkNode* FindSiblingByTag(TChunkNode* node, std::uint16_t tag);
// The first direct child with the tag.
TChunkNode* FindChildByTag(const TChunkNode& node, std::uint16_t tag);
// The tag's place in the write order (TChunkTag3DS::WriteOrder); 0 for unknown tags.
int ChunkOrder(std::uint16_t tag);
// Frees the node's data record with the arrays it owns; harmless when there is none.
void ReleaseChunkData(TChunkNode& node);
// Frees a node, its sub-tree and its following siblings.
void FreeChunkTree(std::unique_ptr<TChunkNode>& node);

// Decodes the node's data from the stream (at its position + 6) unless it has data
// already. Every value is read within the chunk's own bounds: a count or a string that
// runs past the chunk's end raises 65226, memory running out 65225.
void DecodeChunkData(TStream& stream, TChunkNode& node);

// The bytes of the node's own data that come before its first child; for tags that
// have no children, the whole data. A chunk too short for the data its tag announces
// gets no children (decoding its data then reports it). Reads from `stream` only for
// the tags whose data holds a string or a count.
std::uint64_t FirstChildOffset(TStream& stream, const TChunkNode& node);

// The node's decoded data as the record its tag decodes to; a node without data, or
// with data of another kind, is a caller's mistake.
template <class T>
T& ChunkData(TChunkNode& node) {
  T* data = dynamic_cast<T*>(node.Data.get());
  BRV_ASSERT_MSG(data, "ChunkData(): chunk has no data of the kind asked for");
  return *data;
}

// Decodes the node, moves its record out and releases the node's data, so that the
// arrays go to the caller without a copy.
template <class T>
T TakeChunkData(TStream& stream, TChunkNode& node) {
  DecodeChunkData(stream, node);
  T value = std::move(ChunkData<T>(node));
  ReleaseChunkData(node);
  return value;
}

// ---------------------------------------------------------------------------
// Bounded reading

// Reads the values of one chunk from a stream without passing the chunk's end.
// Small values come from a block buffer; large arrays are read straight into place.
class TChunkReader3DS {
public:
  // From `start` up to `end` (stream offsets); `tag` names the chunk in errors.
  TChunkReader3DS(TStream& stream, std::uint64_t start, std::uint64_t end, std::uint16_t tag);

  std::uint64_t Remaining() const { return FRemaining; }
  std::uint64_t Offset() const { return FEnd - FRemaining; }
  void Read(void* buffer, std::size_t count);
  void Skip(std::uint64_t count);
  template <class T>
  T Value() {
    T value;
    Read(&value, sizeof value);
    return value;
  }
  // A zero-terminated string within the chunk; more than 255 characters are cut.
  std::string String();
  // Moves past a zero-terminated string; false when the chunk ends before its zero.
  bool TrySkipString();
  // `count` items of `sizeof(T)` bytes, checked against what is left of the chunk
  // before anything is allocated.
  template <class T>
  std::vector<T> Array(std::uint64_t count) {
    Need(count, sizeof(T));
    std::vector<T> items(static_cast<std::size_t>(count));
    Read(items.data(), items.size() * sizeof(T));
    return items;
  }
  // Raises 65226 unless `count` items of `width` bytes are left.
  void Need(std::uint64_t count, std::uint64_t width) const;

private:
  void Fill();
  bool ReadString(std::string* text);

  TStream& FStream;
  std::uint16_t FTag;
  std::uint64_t FEnd;
  std::uint64_t FRemaining;  // bytes of the chunk not yet handed out
  std::uint64_t FUnread;     // bytes of the chunk not yet taken from the stream
  std::vector<char> FBuffer;
  std::size_t FBufferPos = 0;
};

std::string TagText(std::uint16_t tag);

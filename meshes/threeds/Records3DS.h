#pragma once
// The material and mesh records of a 3DS file, built from sub-trees of its chunk tree:
// each chunk's data is decoded, copied or moved into the record, and released again.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "meshes/threeds/Chunks3DS.h"

enum class TMapTiling3DS { Tile, Decal, Both };
enum class TMapFilter3DS { Pyramidal, SummedArea };
enum class TMapSource3DS { RGB, Alpha, RGBTint, AlphaTint, RGBLumaTint };

struct TTextureMapRecord3DS {
  std::string FileName;
  float Percent = 0;
  TMapTiling3DS Tiling = TMapTiling3DS::Tile;
  bool IgnoreAlpha = false;
  TMapFilter3DS Filter = TMapFilter3DS::Pyramidal;
  float Blur = 0;
  bool Mirror = false;
  bool Negative = false;
  float UScale = 1, VScale = 1, UOffset = 0, VOffset = 0, Rotation = 0;
  TMapSource3DS Source = TMapSource3DS::RGB;
  TColor3DS Tint1{0, 0, 0}, Tint2{1, 1, 1};
  TColor3DS RedTint{1, 0, 0}, GreenTint{0, 1, 0}, BlueTint{0, 0, 1};
  std::vector<std::uint8_t> ProcedureData;
};

struct TMaterialRecord3DS {
  std::string Name;
  TColor3DS Ambient{0, 0, 0}, Diffuse{0, 0, 0}, Specular{0, 0, 0};
  // Percentages as fractions (50% is 0.5).
  float Shininess = 0, ShininessStrength = 0, ReflectionBlur = 0;
  float Transparency = 0, TransparencyFalloff = 0, SelfIllumination = 0;
  float WireSize = 1;
  std::int16_t Shading = 3;
  bool UseReflectionBlur = false, UseTransparencyFalloff = false, TwoSided = false, SelfIlluminated = false;
  bool Additive = false, WireInUnits = false, FaceMapped = false, SoftPhong = false;
  TTextureMapRecord3DS TextureMap, TextureMask, Texture2Map, Texture2Mask, OpacityMap, OpacityMask, BumpMap,
      BumpMask, SpecularMap, SpecularMask, ShininessMap, ShininessMask, SelfIllumMap, SelfIllumMask,
      ReflectionMap, ReflectionMask;
  bool AutoReflection = false, AutoReflFlagA = false, AutoReflFlagB = false;
  std::int32_t AutoReflSize = 100, AutoReflFrameStep = 1;
};

struct TMaterialGroupRecord3DS {
  std::string MaterialName;
  std::vector<std::uint16_t> FaceIndices;
};

struct TMeshRecord3DS {
  std::string Name;
  bool Hidden = false, VisibleInLofter = false, CastsNoShadow = false, Matte = false;
  bool FastDisplay = false, Procedural = false, Frozen = false, ReceivesNoShadow = false;
  std::vector<TAffineVector> Vertices;
  std::vector<std::uint16_t> VertexFlags;
  std::vector<TTexPoint> TexCoords;  // (u, v)
  bool MapInfoPresent = false;
  std::uint16_t MapType = 0;
  float TileX = 1, TileY = 1;
  TAffineVector IconPosition{0, 0, 0};
  float IconScale = 1;
  TMatrix3DS MapMatrix{};
  float PlanarWidth = 1, PlanarHeight = 1, CylinderHeight = 1;
  TMatrix3DS LocalMatrix{};
  std::uint8_t ColorIndex = 0;
  std::string ProcedureName;
  std::vector<std::uint8_t> ProcedureData;
  std::vector<TFace3DS> Faces;
  std::vector<TMaterialGroupRecord3DS> MaterialGroups;
  // One mask per face as the file holds them: the count is the chunk's, which need
  // not match the face count.
  std::vector<std::uint32_t> SmoothingGroups;
  bool BoxMapPresent = false;
  std::array<std::string, 6> BoxMapNames;
};

// The sixteen maps of a material: the block tag that fills each, the tag of its
// procedure data (0: none) and its field, in record order.
struct TMapSlot3DS {
  std::uint16_t Tag;
  std::uint16_t ProcedureTag;
  TTextureMapRecord3DS TMaterialRecord3DS::*Map;
};
extern const TMapSlot3DS MAP_SLOTS_3DS[16];

// The boolean fields that an empty chunk sets by standing among the children of a
// material entry or of a named object: the chunk's tag and the field.
template <class TRecord>
struct TFlagSlot3DS {
  std::uint16_t Tag;
  bool TRecord::*Flag;
};
extern const TFlagSlot3DS<TMaterialRecord3DS> MATERIAL_FLAGS_3DS[8];
extern const TFlagSlot3DS<TMeshRecord3DS> OBJECT_FLAGS_3DS[8];

// The record of a material entry (0xAFFF); another node, or a tag the entry may not
// hold, raises 65226.
TMaterialRecord3DS ReadMaterialRecord(TStream& stream, TChunkNode& entry);
// The record of a named object (0x4000); one without a triangle mesh raises 65229.
TMeshRecord3DS ReadMeshRecord(TStream& stream, TChunkNode& namedObject);

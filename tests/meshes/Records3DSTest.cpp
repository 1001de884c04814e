#include "meshes/threeds/Records3DS.h"

#include <gtest/gtest.h>

#include "Support3DS.h"

namespace {

// A file with one material entry whose children `body` writes.
template <class TBody>
std::string MaterialFile(TBody body) {
  return File3DSBytes([&](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MESH_DATA);
    w.Begin(CHUNK_MAT_ENTRY);
    w.StringChunk(CHUNK_MAT_NAME, "M");
    body(w);
    w.End();
    w.End();
  });
}

template <class TBody>
TMaterialRecord3DS ReadMaterial(TBody body) {
  TLoaded3DS loaded = Load3DS(MaterialFile(body));
  return *loaded.File->Materials().Material(0);
}

void Color24(TChunkWriter3DS& w, std::uint16_t tag, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  w.Chunk(tag, TColor24_3DS{r, g, b});
}

TEST(Material3DS, ColourChunksTakePrecedenceByKindNotByOrder) {
  struct TCase {
    const char* Name;
    void (*Body)(TChunkWriter3DS&);
    TColor3DS Expected;
  };
  const TCase cases[] = {
      {"24-bit alone", [](TChunkWriter3DS& w) { Color24(w, 0x0011, 255, 0, 51); }, {1, 0, 0.2f}},
      {"float over 24-bit",
       [](TChunkWriter3DS& w) {
         w.Chunk(CHUNK_COLOR_F, TColor3DS{0.5f, 0.25f, 0});
         Color24(w, 0x0011, 255, 255, 255);
       },
       {0.5f, 0.25f, 0}},
      {"linear 24-bit over 24-bit",
       [](TChunkWriter3DS& w) {
         Color24(w, 0x0011, 255, 255, 255);
         Color24(w, 0x0012, 0, 255, 0);
       },
       {0, 1, 0}},
      {"linear 24-bit over float, written first",
       [](TChunkWriter3DS& w) {
         Color24(w, 0x0012, 0, 0, 255);
         w.Chunk(CHUNK_COLOR_F, TColor3DS{0.5f, 0.5f, 0.5f});
       },
       {0, 0, 1}},
      {"linear float is not read", [](TChunkWriter3DS& w) { w.Chunk(CHUNK_LIN_COLOR_F, TColor3DS{1, 1, 1}); }, {0, 0, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMaterialRecord3DS m = ReadMaterial([&](TChunkWriter3DS& w) {
      w.Begin(CHUNK_MAT_DIFFUSE);
      c.Body(w);
      w.End();
    });
    EXPECT_FLOAT_EQ(m.Diffuse.R, c.Expected.R);
    EXPECT_FLOAT_EQ(m.Diffuse.G, c.Expected.G);
    EXPECT_FLOAT_EQ(m.Diffuse.B, c.Expected.B);
  }
}

TEST(Material3DS, PercentagesAndTheTransparencySign) {
  TMaterialRecord3DS m = ReadMaterial([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MAT_SHININESS);
    w.Chunk(CHUNK_PERCENT_I, std::uint16_t(40));
    w.End();
    w.Begin(CHUNK_MAT_SHIN_STRENGTH);
    w.Chunk(CHUNK_PERCENT_F, 0.75f);
    w.End();
    w.Empty(CHUNK_MAT_SELF_ILLUM);  // no percentage child: 0
    w.Empty(CHUNK_MAT_TRANS_IN);    // negates the transparency read so far (0)
    w.Begin(CHUNK_MAT_TRANSPARENCY);
    w.Chunk(CHUNK_PERCENT_I, std::uint16_t(30));
    w.End();
    w.Begin(CHUNK_MAT_TRANS_FALLOFF);
    w.Chunk(CHUNK_PERCENT_I, std::uint16_t(30));
    w.End();
  });
  EXPECT_FLOAT_EQ(m.Shininess, 0.4f);
  EXPECT_FLOAT_EQ(m.ShininessStrength, 0.75f);
  EXPECT_EQ(m.SelfIllumination, 0);
  EXPECT_FLOAT_EQ(m.Transparency, 0.3f);  // the negation came before the value

  TMaterialRecord3DS negated = ReadMaterial([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MAT_TRANSPARENCY);
    w.Chunk(CHUNK_PERCENT_I, std::uint16_t(30));
    w.End();
    w.Empty(CHUNK_MAT_TRANS_IN);
  });
  EXPECT_FLOAT_EQ(negated.Transparency, -0.3f);
}

TEST(Material3DS, MapFlagsDecodeIntoTilingFilterAndSource) {
  struct TCase {
    std::uint16_t Flags;
    TMapTiling3DS Tiling;
    bool IgnoreAlpha;
    TMapFilter3DS Filter;
    bool Mirror, Negative;
    TMapSource3DS Source;
  };
  using T = TMapTiling3DS;
  using F = TMapFilter3DS;
  using S = TMapSource3DS;
  const TCase cases[] = {
      {0x0000, T::Tile, false, F::Pyramidal, false, false, S::RGB},
      {0x0011, T::Decal, false, F::Pyramidal, false, false, S::RGB},
      {0x0001, T::Both, false, F::Pyramidal, false, false, S::RGB},
      {0x0010, T::Tile, false, F::Pyramidal, false, false, S::RGB},  // decal bit without bit 0
      {0x0100, T::Tile, true, F::Pyramidal, false, false, S::RGB},
      {0x0020, T::Tile, false, F::SummedArea, false, false, S::RGB},
      {0x000A, T::Tile, false, F::Pyramidal, true, true, S::RGB},
      {0x0040, T::Tile, false, F::Pyramidal, false, false, S::Alpha},
      {0x0080, T::Tile, false, F::Pyramidal, false, false, S::RGBTint},
      {0x00C0, T::Tile, false, F::Pyramidal, false, false, S::AlphaTint},
      {0x0200, T::Tile, false, F::Pyramidal, false, false, S::RGBLumaTint},
      {0x0240, T::Tile, false, F::Pyramidal, false, false, S::RGBLumaTint},  // bit 9 wins over bit 6
      {0x0280, T::Tile, false, F::Pyramidal, false, false, S::RGBTint},      // bit 7 wins over bit 9
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Flags);
    TMaterialRecord3DS m = ReadMaterial([&](TChunkWriter3DS& w) {
      w.Begin(0xA200);
      w.Chunk(CHUNK_MAP_FLAGS, c.Flags);
      w.End();
    });
    EXPECT_EQ(m.TextureMap.Tiling, c.Tiling);
    EXPECT_EQ(m.TextureMap.IgnoreAlpha, c.IgnoreAlpha);
    EXPECT_EQ(m.TextureMap.Filter, c.Filter);
    EXPECT_EQ(m.TextureMap.Mirror, c.Mirror);
    EXPECT_EQ(m.TextureMap.Negative, c.Negative);
    EXPECT_EQ(m.TextureMap.Source, c.Source);
  }
}

TEST(Material3DS, FreshValuesBumpPercentAndAutomaticReflection) {
  TMaterialRecord3DS m = ReadMaterial([](TChunkWriter3DS& w) {
    w.Begin(0xA230);
    w.Chunk(CHUNK_PERCENT_I, std::uint16_t(80));
    w.Chunk(CHUNK_MAT_BUMP_PERCENT, std::int16_t(-250));
    w.End();
    w.Begin(CHUNK_MAT_AUTO_REFLECTION);
    w.Value(std::uint8_t(1));
    w.Value(std::uint8_t(2));
    w.Value(std::uint16_t(0x0108));  // low byte 0x08: in flag A's mask 0x09, not in flag B's 0x11
    w.Value(std::int32_t(512));
    w.Value(std::int32_t(5));
    w.End();
  });
  EXPECT_EQ(m.Shading, 3);
  EXPECT_EQ(m.WireSize, 1);
  EXPECT_EQ(m.TextureMap.UScale, 1);
  EXPECT_EQ(m.TextureMap.Tint2.G, 1);
  EXPECT_EQ(m.TextureMap.RedTint.R, 1);
  EXPECT_EQ(m.TextureMap.RedTint.G, 0);
  EXPECT_FLOAT_EQ(m.BumpMap.Percent, -2.5f);
  EXPECT_TRUE(m.AutoReflection);
  EXPECT_TRUE(m.AutoReflFlagA);
  EXPECT_FALSE(m.AutoReflFlagB);
  EXPECT_EQ(m.AutoReflSize, 512);
  EXPECT_EQ(m.AutoReflFrameStep, 5);
  EXPECT_EQ(ReadMaterial([](TChunkWriter3DS& w) { w.Empty(CHUNK_MAT_WIRE); }).Shading, 0);
}

// The reader and the writer share one table of flag chunks each for materials and
// objects, so a round trip cannot catch a wrong tag: these check the tables against the
// format's tags, each flag alone.
TEST(Material3DS, EachFlagChunkSetsItsOwnFieldOnly) {
  using M = TMaterialRecord3DS;
  const std::pair<std::uint16_t, bool M::*> material[] = {
      {0xA250, &M::UseReflectionBlur}, {0xA240, &M::UseTransparencyFalloff}, {0xA081, &M::TwoSided},
      {0xA080, &M::SelfIlluminated},   {0xA083, &M::Additive},               {0xA08E, &M::WireInUnits},
      {0xA088, &M::FaceMapped},        {0xA08C, &M::SoftPhong}};
  for (const auto& [tag, flag] : material) {
    SCOPED_TRACE(tag);
    TMaterialRecord3DS m = ReadMaterial([tag = tag](TChunkWriter3DS& w) { w.Empty(tag); });
    for (const auto& [otherTag, other] : material) EXPECT_EQ(m.*other, other == flag) << otherTag;
  }
}

TEST(Mesh3DS, EachFlagChunkSetsItsOwnFieldOnly) {
  using R = TMeshRecord3DS;
  const std::pair<std::uint16_t, bool R::*> object[] = {
      {0x4010, &R::Hidden}, {0x4011, &R::VisibleInLofter}, {0x4012, &R::CastsNoShadow}, {0x4013, &R::Matte},
      {0x4014, &R::FastDisplay}, {0x4015, &R::Procedural}, {0x4016, &R::Frozen}, {0x4017, &R::ReceivesNoShadow}};
  for (const auto& [tag, flag] : object) {
    SCOPED_TRACE(tag);
    TLoaded3DS loaded = Load3DS(File3DSBytes([tag = tag](TChunkWriter3DS& w) {
      w.Begin(CHUNK_MESH_DATA);
      w.Begin(CHUNK_NAMED_OBJECT);
      w.String("F");
      w.Empty(CHUNK_TRIANGLE_MESH);
      w.Empty(tag);
      w.End();
      w.End();
    }));
    const TMeshRecord3DS& mesh = *loaded.File->Objects().Mesh(0);
    for (const auto& [otherTag, other] : object) EXPECT_EQ(mesh.*other, other == flag) << otherTag;
  }
}

TEST(Material3DS, AnEntryHoldingAForeignTagIsRefusedAndItsSlotStaysEmpty) {
  const std::string text = Text3DSError(ERR_3DS_INVALID_CHUNK);
  EXPECT_EQ(text,
            "An invalid Chunk structure was encountered while reading\rthe database. Usually caused by a corrupt "
            "database or file.");
  for (std::uint16_t tag : {0xA086, 0xA089, 0xA351, 0x4110}) {
    SCOPED_TRACE(tag);
    TLoaded3DS loaded = Load3DS(MaterialFile([&](TChunkWriter3DS& w) { w.Empty(tag); }));
    ExpectError3DS([&] { loaded.File->Materials().Material(0); }, ERR_3DS_INVALID_CHUNK, text);
    ExpectError3DS([&] { loaded.File->Materials().Material(0); }, ERR_3DS_INVALID_CHUNK, text);
  }
  // Extension chunks and the two known but unused tags pass.
  TMaterialRecord3DS m = ReadMaterial([](TChunkWriter3DS& w) {
    w.StringChunk(0x8002, "plug-in");
    w.Empty(CHUNK_MAT_SHIN_THIRD);
    w.Empty(CHUNK_MAT_DECAL);
  });
  EXPECT_EQ(m.Name, "M");
}

TEST(Mesh3DS, OptionalArraysAndEmptyFaceGroups) {
  TMeshRecord3DS mesh;
  mesh.Name = "Bare";
  mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.Faces = {{0, 1, 2, 0}};
  mesh.MaterialGroups = {{"None", {}}};
  TModel3DS model;
  model.Meshes = {mesh};
  TLoaded3DS loaded = Load3DS(Model3DSBytes(model));
  const TMeshRecord3DS& read = *loaded.File->Objects().Mesh(0);
  EXPECT_TRUE(read.SmoothingGroups.empty());
  EXPECT_TRUE(read.TexCoords.empty());
  ASSERT_EQ(read.MaterialGroups.size(), 1u);
  EXPECT_TRUE(read.MaterialGroups[0].FaceIndices.empty());
  EXPECT_EQ(read.TileX, 1);
  EXPECT_FALSE(read.MapInfoPresent);

  // Smoothing masks take their count from the chunk size; a trailing partial mask is dropped.
  std::string bytes = File3DSBytes([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MESH_DATA);
    w.Begin(CHUNK_NAMED_OBJECT);
    w.String("S");
    w.Begin(CHUNK_TRIANGLE_MESH);
    w.Begin(CHUNK_FACE_LIST);
    w.Value(std::uint16_t(0));
    w.Begin(CHUNK_SMOOTH_GROUPS);
    w.Value(std::uint32_t(5));
    w.Value(std::uint32_t(6));
    w.Value(std::uint16_t(7));
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
  });
  TLoaded3DS smoothing = Load3DS(bytes);
  EXPECT_EQ(smoothing.File->Objects().Mesh(0)->SmoothingGroups, (std::vector<std::uint32_t>{5, 6}));
}

// Procedure data is kept as a byte block of the chunk's length: a chunk of its header
// alone is a block of no bytes, for a mesh (0x4182) and for a map (0xA320).
TEST(Mesh3DS, ProcedureDataChunksWithoutBytesReadAsEmptyBlocks) {
  TLoaded3DS material = Load3DS(MaterialFile([](TChunkWriter3DS& w) {
    w.Begin(0xA200);
    w.StringChunk(CHUNK_MAP_FILE_NAME, "t.bmp");
    w.Empty(0xA320);
    w.End();
  }));
  EXPECT_TRUE(material.File->Materials().Material(0)->TextureMap.ProcedureData.empty());

  std::string bytes = File3DSBytes([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MESH_DATA);
    w.Begin(CHUNK_NAMED_OBJECT);
    w.String("P");
    w.Begin(CHUNK_TRIANGLE_MESH);
    w.Empty(CHUNK_PROC_DATA);
    w.End();
    w.End();
    w.End();
  });
  TLoaded3DS mesh = Load3DS(bytes);
  EXPECT_TRUE(mesh.File->Objects().Mesh(0)->ProcedureData.empty());
}

}  // namespace

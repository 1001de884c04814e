#include "meshes/threeds/File3DS.h"

#include <gtest/gtest.h>

#include "Support3DS.h"

namespace {

// Everything a file holds comes back bit for bit: the records read from each model's
// file, written again, give the same bytes as the model's own materials and meshes.
TEST(File3DS, WrittenModelsReadBackExactly) {
  for (const TModel3DS& model : {CubeModel3DS(), SceneModel3DS(), EveryFieldModel3DS(), GridModel3DS(2000)}) {
    TLoaded3DS loaded = Load3DS(Model3DSBytes(model));
    TFile3DS& file = *loaded.File;
    TModel3DS written, readBack;
    written.Materials = model.Materials;
    written.Meshes = model.Meshes;
    ASSERT_EQ(file.Materials().Count(), int(model.Materials.size()));
    for (int i = 0; i < file.Materials().Count(); ++i) readBack.Materials.push_back(*file.Materials().Material(i));
    ASSERT_EQ(file.Objects().MeshCount(), int(model.Meshes.size()));
    for (int i = 0; i < file.Objects().MeshCount(); ++i) readBack.Meshes.push_back(*file.Objects().Mesh(i));
    EXPECT_TRUE(Model3DSBytes(readBack) == Model3DSBytes(written)) << model.Meshes[0].Name;
  }
  // The fields that the writer leaves out at their fresh values.
  TLoaded3DS cube = Load3DS(Model3DSBytes(CubeModel3DS()));
  EXPECT_FALSE(cube.File->Objects().Mesh(0)->MapInfoPresent);
  EXPECT_EQ(cube.File->Objects().Mesh(0)->CylinderHeight, 1);
  EXPECT_TRUE(cube.File->Materials().Material(0)->TextureMap.FileName.empty());
}

TEST(File3DS, LightsCamerasAndTracksDecodeFromTheTree) {
  TModel3DS model = SceneModel3DS();
  TLoaded3DS loaded = Load3DS(Model3DSBytes(model));
  TFile3DS& file = *loaded.File;
  std::vector<std::string> names;
  for (const TIndexEntry3DS& entry : file.ObjectIndex()) names.push_back(entry.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Cube", "Pyramid", "Hidden", "Spot", "Omni", "Camera01"}));

  TChunkNode* spot = FindChildByTag(*file.ObjectIndex()[3].Node, CHUNK_LIGHT);
  ASSERT_TRUE(spot);
  file.DecodeChunkData(*spot);
  EXPECT_TRUE(SameBytes(ChunkData<TValueData3DS<TAffineVector>>(*spot).Value, model.Lights[0].Position));
  TChunkNode* cone = FindChildByTag(*spot, CHUNK_SPOTLIGHT);
  ASSERT_TRUE(cone);
  file.DecodeChunkData(*cone);
  EXPECT_EQ(ChunkData<TSpotlightData3DS>(*cone).HotSpot, 30);
  EXPECT_EQ(ChunkData<TSpotlightData3DS>(*cone).FallOff, 45);
  TChunkNode* omniColor = FindChunkByTag(file.ObjectIndex()[4].Node, CHUNK_COLOR_F);
  file.DecodeChunkData(*omniColor);
  EXPECT_TRUE(SameBytes(ChunkData<TValueData3DS<TColor3DS>>(*omniColor).Value, model.Lights[1].Color));

  TChunkNode* camera = FindChildByTag(*file.ObjectIndex()[5].Node, CHUNK_CAMERA);
  file.DecodeChunkData(*camera);
  const TCameraData3DS& c = ChunkData<TCameraData3DS>(*camera);
  EXPECT_TRUE(SameBytes(c.Position, model.Cameras[0].Position));
  EXPECT_EQ(c.FocalLength, 50);
  TChunkNode* ranges = FindChildByTag(*camera, CHUNK_CAMERA_RANGES);
  file.DecodeChunkData(*ranges);
  EXPECT_EQ(ChunkData<TCameraRangesData3DS>(*ranges).FarRange, 500);

  TChunkNode* track = FindChunkByTag(file.TopNode(), CHUNK_KF_POSITION_TRACK);
  file.DecodeChunkData(*track);
  const auto& keys = ChunkData<TValueTrackData3DS<TAffineVector>>(*track);
  ASSERT_EQ(keys.KeyCount, 2u);
  EXPECT_EQ(keys.KeyHeaders[1].Time, 50);
  EXPECT_EQ(keys.Values[1].z, 2);
}

// The parent name given to the first key-framer node of that name.
std::string ParentNameOf(TFile3DS& file, const std::string& node) {
  for (TChunkNode* n = FindChunkByTag(file.TopNode(), CHUNK_KEYFRAMER)->Children.get(); n; n = n->Sibling.get()) {
    TChunkNode* header = FindChildByTag(*n, CHUNK_KF_NODE_HEADER);
    if (!header) continue;
    file.DecodeChunkData(*header);
    if (ChunkData<TNodeHeaderData3DS>(*header).Name != node) continue;
    TChunkNode* parent = FindChildByTag(*header, CHUNK_PARENT_NAME);
    if (!parent) return "(none)";
    file.DecodeChunkData(*parent);
    return ChunkData<TValueData3DS<std::string>>(*parent).Value;
  }
  return "(no node)";
}

TEST(File3DS, KeyFramerNodesGetTheirParentsNames) {
  TLoaded3DS loaded = Load3DS(Model3DSBytes(SceneModel3DS()));
  TFile3DS& file = *loaded.File;
  EXPECT_EQ(ParentNameOf(file, "Pyramid"), "Cube.Base");  // the parent's instance name is appended
  EXPECT_EQ(ParentNameOf(file, "Omni"), "Pyramid");
  EXPECT_EQ(ParentNameOf(file, "Spot"), "Pyramid");
  EXPECT_EQ(ParentNameOf(file, "Cube"), "(none)");
  EXPECT_EQ(ParentNameOf(file, "Camera01"), "(none)");

  // Without identifiers in the file the nodes are numbered in file order, but only
  // nodes with an identifier chunk are given parent names.
  TModel3DS model = SceneModel3DS();
  model.KeyFramerNodes[1].NodeId = 0xFFFF;
  TLoaded3DS renumbered = Load3DS(Model3DSBytes(model));
  EXPECT_EQ(ParentNameOf(*renumbered.File, "Pyramid"), "(none)");
  EXPECT_EQ(ParentNameOf(*renumbered.File, "Omni"), "Pyramid");
}

// A parent name chunk that the file already holds is given the resolved name; its old
// contents are not read, so a damaged one costs nothing.
TEST(File3DS, AParentNameChunkInTheFileIsReplaced) {
  for (const std::string& stored : {std::string("Stale\0", 6), std::string("no zero")}) {
    std::string bytes = File3DSBytes([&](TChunkWriter3DS& w) {
      w.Begin(CHUNK_KEYFRAMER);
      for (std::uint16_t id : {0, 1}) {
        w.Begin(CHUNK_KF_OBJECT_NODE);
        w.Chunk(CHUNK_KF_NODE_ID, id);
        w.Begin(CHUNK_KF_NODE_HEADER);
        w.String(id == 0 ? "Base" : "Arm");
        w.Value(std::int16_t(0));
        w.Value(std::int16_t(0));
        w.Value(std::uint16_t(id == 0 ? 0xFFFF : 0));
        if (id == 1) {
          w.Begin(CHUNK_PARENT_NAME);
          w.Bytes(stored.data(), stored.size());
          w.End();
        }
        w.End();
        w.End();
      }
      w.End();
    });
    TLoaded3DS loaded = Load3DS(bytes);
    EXPECT_EQ(ParentNameOf(*loaded.File, "Arm"), "Base");
  }
}

TEST(File3DS, OnlyNamedObjectsWithATriangleMeshCountAsMeshes) {
  TModel3DS scene = SceneModel3DS();
  std::string bytes = File3DSBytes([&](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MESH_DATA);
    WriteLight3DS(w, scene.Lights[0]);
    WriteMesh3DS(w, scene.Meshes[0]);
    WriteCamera3DS(w, scene.Cameras[0]);
    WriteMesh3DS(w, scene.Meshes[1]);
    w.End();
  });
  TLoaded3DS loaded = Load3DS(bytes);
  ASSERT_EQ(loaded.File->Objects().MeshCount(), 2);
  EXPECT_EQ(loaded.File->Objects().Mesh(1)->Name, "Pyramid");
  EXPECT_THROW(loaded.File->Objects().Mesh(2), EListError);
  EXPECT_THROW(loaded.File->Objects().Mesh(-1), EListError);
}

TEST(File3DS, DatabaseKindsAndMissingDatabase) {
  TFile3DS empty;
  EXPECT_EQ(empty.Materials().Count(), 0);
  EXPECT_EQ(empty.Materials().Material(0), nullptr);
  EXPECT_EQ(empty.Objects().MeshCount(), 0);
  EXPECT_THROW(empty.Objects().Mesh(0), EListError);

  // A project file: materials are found, meshes are refused.
  TModel3DS cube = CubeModel3DS();
  std::string project = File3DSBytes(
      [&](TChunkWriter3DS& w) {
        w.Begin(CHUNK_MESH_DATA);
        for (const auto& m : cube.Materials) WriteMaterial3DS(w, m);
        WriteMesh3DS(w, cube.Meshes[0]);
        w.End();
      },
      CHUNK_PROJECT_TOP);
  TLoaded3DS loaded = Load3DS(project);
  ASSERT_EQ(loaded.File->Materials().Count(), 2);
  EXPECT_EQ(loaded.File->Materials().Material(1)->Name, "Checker");
  EXPECT_THROW(loaded.File->Materials().Material(2), EListError);
  ASSERT_EQ(loaded.File->Objects().MeshCount(), 1);
  ExpectError3DS([&] { loaded.File->Objects().Mesh(0); }, ERR_3DS_WRONG_DATABASE,
                 "The database passed as an argument is the wrong kind of\rdatabase for this function.");
}

TEST(File3DS, MaterialByNameIgnoresCaseAndTakesTheFirst) {
  TModel3DS model = CubeModel3DS();
  model.Materials.push_back(model.Materials[0]);
  model.Materials[2].Name = "RED";
  model.Materials[2].Diffuse = {0, 0, 1};
  TLoaded3DS loaded = Load3DS(Model3DSBytes(model));
  TMaterialList& materials = loaded.File->Materials();
  ASSERT_TRUE(materials.MaterialByName("rEd"));
  EXPECT_EQ(materials.MaterialByName("rEd")->Diffuse.R, 1);
  EXPECT_EQ(materials.MaterialByName("checker"), materials.Material(1));
  EXPECT_EQ(materials.MaterialByName("Blue"), nullptr);
}

TEST(File3DS, ExtensionEntryStopsAtAnUnknownChildAndSkipsOverlongOnes) {
  std::string bytes = File3DSBytes([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_EXT_SECTION);
    w.Begin(CHUNK_EXT_ENTRY);
    w.StringChunk(0x8002, "first");
    // A child claiming 100 bytes inside an entry that ends sooner: passed over by its header.
    w.Value(std::uint16_t(0x8003));
    w.Value(std::uint32_t(100));
    w.StringChunk(0x8003, "second");
    w.StringChunk(0x1234, "stop");
    w.StringChunk(0x8002, "never read");
    w.End();
    w.End();
  });
  TLoaded3DS loaded = Load3DS(bytes);
  TChunkNode* entry = FindChunkByTag(loaded.File->TopNode(), CHUNK_EXT_ENTRY);
  ASSERT_TRUE(entry);
  std::vector<std::string> children;
  for (TChunkNode* c = entry->Children.get(); c; c = c->Sibling.get()) {
    loaded.File->DecodeChunkData(*c);
    children.push_back(TagText(c->Tag) + " " + ChunkData<TValueData3DS<std::string>>(*c).Value);
  }
  EXPECT_EQ(children, (std::vector<std::string>{"0x8002 first", "0x8003 second"}));
  loaded.File->DecodeChunkData(*entry);
  EXPECT_EQ(ChunkData<TRawData3DS>(*entry).Bytes.size(), entry->Size - 6u);
}

TEST(File3DS, ReloadingReplacesTheOldFileAndReportsProgress) {
  TMemoryStream scene(Model3DSBytes(SceneModel3DS()));
  TMemoryStream cube(Model3DSBytes(CubeModel3DS()));
  TFile3DS file;
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  file.SetOnProgress([&](std::int64_t position, std::int64_t size) { calls.emplace_back(position, size); });
  file.LoadFromStream(scene);
  ASSERT_EQ(file.Objects().MeshCount(), 3);
  file.LoadFromStream(cube);
  EXPECT_EQ(file.Objects().MeshCount(), 1);
  EXPECT_EQ(file.Objects().Mesh(0)->Name, "Cube");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().second, 0);
  EXPECT_TRUE(std::count(calls.begin(), calls.end(), std::make_pair(std::int64_t(0), cube.Size())) == 1);
  file.Clear();
  EXPECT_EQ(file.TopNode(), nullptr);
  EXPECT_EQ(file.Objects().MeshCount(), 0);
}

}  // namespace

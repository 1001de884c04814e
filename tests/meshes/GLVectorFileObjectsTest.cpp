// Mesh objects and face groups: triangles, normals, stored forms; the format registry.

#include "meshes/GLVectorFileObjects.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SupportMeshes.h"
#include "meshes/GLFile3DS.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

using TTriangles = std::vector<std::array<int, 3>>;

// Vertex i is (i, 0, 0): the x of a corner point names its vertex.
TTriangles TrianglesOf(const TAffineVectorList& points) {
  TTriangles triangles;
  for (int i = 0; i + 3 <= points.Count(); i += 3)
    triangles.push_back({int(points.List()[i].x), int(points.List()[i + 1].x), int(points.List()[i + 2].x)});
  return triangles;
}

TEST(MeshObjects, TrianglesStripsAndFansAreExtractedAndCounted) {
  struct TCase {
    const char* Name;
    int Kind;  // -1: the mesh object's own vertices in its mode, else a face group of that mode
    int Mode;
    int Count;
    TTriangles Expected;
    int TriangleCount;
  };
  const TCase cases[] = {
      {"7 vertices as triangles", -1, dmTriangles, 7, {}, 2},
      {"6 vertices as triangles", -1, dmTriangles, 6, {{0, 1, 2}, {3, 4, 5}}, 2},
      {"strip of 5", -1, dmTriangleStrip, 5, {{0, 1, 2}, {3, 2, 1}, {2, 3, 4}}, 3},
      {"strip of 1", -1, dmTriangleStrip, 1, {}, 0},
      {"group of 7 triangles", fgTriangles, fgTriangles, 7, {{0, 1, 2}, {3, 4, 5}}, 2},
      {"group of 7 plain triangles", fgPlainTriangles, fgPlainTriangles, 7, {{0, 1, 2}, {3, 4, 5}}, 2},
      {"group strip of 4", fgTriangleStrip, fgTriangleStrip, 4, {{0, 1, 2}, {3, 2, 1}}, 2},
      {"fan of 5", fgTriangleFan, fgTriangleFan, 5, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}, 3},
      {"strip of 2", fgTriangleStrip, fgTriangleStrip, 2, {}, 0},
      {"fan of 2", fgTriangleFan, fgTriangleFan, 2, {}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMeshObjectList list;
    TMeshObject& object = TMeshObject::CreateOwned(list);
    if (c.Kind < 0) {
      object.SetMode(TMeshObjectDrawMode(c.Mode));
      for (int i = 0; i < c.Count; ++i) object.Vertices().AddXYZ(float(i), 0, 0);
    } else {
      object.SetMode(dmFaceGroups);
      for (int i = 0; i < 10; ++i) object.Vertices().AddXYZ(float(i), 0, 0);
      TFGVertexIndexList& group = object.FaceGroups().Add<TFGVertexIndexList>();
      group.SetMode(TFaceGroupDrawMode(c.Mode));
      for (int i = 0; i < c.Count; ++i) group.Add(i);
    }
    EXPECT_EQ(TrianglesOf(*object.GetTriangles()), c.Expected);
    EXPECT_EQ(object.TriangleCount(), c.TriangleCount);
    EXPECT_EQ(TrianglesOf(*list.GetTriangles()), c.Expected);
  }
}

TEST(MeshObjects, ComputedNormalsAreUnitOrZeroNeverNaN) {
  TMeshObject object;
  // A counter-clockwise triangle seen from +z, a degenerate one on a line, and a
  // vertex that no face uses.
  for (TAffineVector v : {TAffineVector{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {9, 9, 9}})
    object.Vertices().Add(v);
  TIntegerList indices;
  for (int v : {0, 1, 2, 3, 4, 5}) indices.Add(v);
  object.ComputeNormals(indices, dmTriangles);
  ASSERT_EQ(object.Normals().Count(), 7);
  for (int v = 0; v < 3; ++v) EXPECT_TRUE(Vec3Equal(object.Normals().GetItem(v), {0, 0, 1})) << v;
  for (int v = 3; v < 7; ++v) EXPECT_TRUE(Vec3Equal(object.Normals().GetItem(v), {0, 0, 0})) << v;

  // A strip turns every other triangle: both of a flat strip face +z.
  TIntegerList strip;
  for (int v : {0, 1, 2}) strip.Add(v);
  object.Vertices().SetItem(3, {1, 1, 0});
  strip.Add(3);
  object.ComputeNormals(strip, dmTriangleStrip);
  EXPECT_TRUE(Vec3Equal(object.Normals().GetItem(3), {0, 0, 1}));
}

// A mesh object with something in every stored field.
TMeshObject& FilledMeshObject(TMeshObjectList& list) {
  TMeshObject& object = TMeshObject::CreateOwned(list);
  object.SetName("Piece");
  object.SetMode(dmFaceGroups);
  object.SetOptions(DrawByMaterial);
  object.SetVisible(false);
  object.Colors().SetCount(4);
  for (int i = 0; i < 4; ++i) {
    object.Vertices().AddXYZ(float(i), 1, 2);
    object.Normals().AddXYZ(0, 0, 1);
    object.TexCoords().AddXYZ(0.25f * float(i), 1, 0);
    object.Colors().List()[i] = {1, 0, 0, 1};
  }
  TFGVertexIndexList& plain = object.FaceGroups().Add<TFGVertexIndexList>();
  plain.SetMaterialName("Wood");
  plain.SetMode(fgTriangleFan);
  for (int v : {0, 1, 2, 3}) plain.Add(v);
  TFGVertexNormalTexIndexList& split = object.FaceGroups().Add<TFGVertexNormalTexIndexList>();
  split.SetMaterialName("Marble");
  split.Add(3, 2, 1);
  split.Add(2, 1, 0);
  split.Add(1, 0, 3);
  return object;
}

TEST(MeshObjects, MeshObjectsAndFaceGroupsReadBackAsTheyWereWritten) {
  InitializeMeshUnits();
  TMeshObjectList list;
  FilledMeshObject(list);
  const std::string stored = list.SaveToString();

  TMeshObjectList copy;
  copy.LoadFromString(stored);
  ASSERT_EQ(copy.Count(), 1);
  const TMeshObject& object = copy.Items(0);
  EXPECT_EQ(object.Owner(), &copy);
  EXPECT_EQ(object.Name(), "Piece");
  EXPECT_EQ(object.Mode(), dmFaceGroups);
  EXPECT_EQ(object.Options(), DrawByMaterial);
  EXPECT_FALSE(object.Visible());
  ASSERT_EQ(object.FaceGroups().Count(), 2);
  EXPECT_EQ(object.FaceGroups().Items(1).MeshObject(), &object);
  EXPECT_EQ(object.FaceGroups().Items(0).MaterialName(), "Wood");
  EXPECT_EQ(static_cast<const TFGVertexIndexList&>(object.FaceGroups().Items(0)).Mode(), fgTriangleFan);
  const auto& split = dynamic_cast<const TFGVertexNormalTexIndexList&>(object.FaceGroups().Items(1));
  EXPECT_EQ(split.TexCoordIndices().GetItem(2), 3);
  // Every field took part: the copy writes the same bytes.
  EXPECT_EQ(copy.SaveToString(), stored);
}

TEST(MeshObjects, ArchivesThatWouldDrawBeyondTheArraysAreRefusedAndChangeNothing) {
  InitializeMeshUnits();
  struct TCase {
    const char* Name;
    std::function<void(TMeshObject&)> Spoil;
    std::string Error;
  };
  const TCase cases[] = {
      {"vertex index", [](TMeshObject& o) { static_cast<TFGVertexIndexList&>(o.FaceGroups().Items(0)).Add(4); },
       "vertex index 4 (entry 4) names none of the 4 vertices"},
      {"normal index",
       [](TMeshObject& o) { static_cast<TFGVertexNormalTexIndexList&>(o.FaceGroups().Items(1)).Add(0, -1, 0); },
       "normal index -1 (entry 3)"},
      {"unequal lists",
       [](TMeshObject& o) { static_cast<TFGVertexNormalTexIndexList&>(o.FaceGroups().Items(1)).NormalIndices().Add(0); },
       "are 3, 4 and 3, not as many each"},
      {"per-corner coordinates",
       [](TMeshObject& o) { o.FaceGroups().Add<TFGIndexTexCoordList>().VertexIndices().Add(0); },
       "0 texture coordinates for 1 vertex indices"},
      {"draw mode", [](TMeshObject& o) { o.SetMode(TMeshObjectDrawMode(7)); }, "the draw mode is 7, expected 0 to 2"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMeshObjectList spoilt;
    c.Spoil(FilledMeshObject(spoilt));
    TMeshObjectList target;
    TMeshObject::CreateOwned(target).SetName("Kept");
    const std::string error = BRV_ERROR_TEXT(Exception, target.LoadFromString(spoilt.SaveToString()));
    EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    ASSERT_EQ(target.Count(), 1);
    EXPECT_EQ(target.Items(0).Name(), "Kept");
  }

  // An item of another class in a list of mesh objects.
  TPersistentObjectList foreign;
  TAffineVectorList vertices;
  foreign.Add(&vertices);
  TMeshObjectList target;
  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, target.LoadFromString(foreign.SaveToString())),
            "TMeshObjectList archive holds a TAffineVectorList where a TMeshObject belongs");
  foreign.Clear();
}

// A reader of no format, to register beside the real one.
class TOtherVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TOtherVectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;
  void LoadFromStream(TStream&) override {}
};

TEST(FormatRegistry, ExtensionsAreFoundWithoutRegardToCaseAndTheLastRegistrationWins) {
  TVectorFileFormatsList formats;
  formats.Add("3DS", "3D Studio files", TGL3DSVectorFile::StaticClass());
  formats.Add("prj", "3D Studio project files", TGL3DSVectorFile::StaticClass());
  const TDataFileClass* reader = &TGL3DSVectorFile::StaticClass();
  struct TCase {
    const char* FileName;
    const TDataFileClass* Expected;
    const char* Error;
  };
  const TCase cases[] = {
      {"PIECE.3DS", reader, ""},
      {"res/3ds/piece.3ds", reader, ""},
      {"a.b.3Ds", reader, ""},
      {"board.Prj", reader, ""},
      {"noextension", nullptr, "Unknown file extension ()"},
      {"dir.3ds/file", nullptr, "Unknown file extension ()"},
      {"shape.OBJ", nullptr, "Unknown file extension (OBJ)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.FileName);
    EXPECT_EQ(BRV_ERROR_TEXT(EInvalidVectorFile, EXPECT_EQ(&formats.FormatForFileName(c.FileName), c.Expected)),
              c.Error);
  }
  formats.Add("3ds", "another reader", TOtherVectorFile::StaticClass());
  EXPECT_EQ(formats.FormatByExtension("3dS"), &TOtherVectorFile::StaticClass());
  EXPECT_EQ(formats.FormatByExtension("prj"), reader);

  // The program's registry: the seven formats in their order.
  InitializeMeshUnits();
  std::string extensions;
  for (const TVectorFileFormat& format : ModelFormats().Formats()) extensions += format.Extension + " ";
  EXPECT_EQ(extensions, "md2 3ds prj tin stl smd ply ");
  EXPECT_EQ(ModelFormats().Formats()[2].Description, "3D Studio project files");
  TMeshObjectList notAMesh;
  EXPECT_THROW(TGL3DSVectorFile file(&notAMesh), EAssertionFailed);
}

}  // namespace

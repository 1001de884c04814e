// The generated files, read back the way the program and other readers read them:
// the models through the 3DS importer into free forms (and through our 3DS reader
// for what the file itself holds), the pictures through the picture loader, the
// looks as INI text; and where the models stand in the board window's scene.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "meshes/threeds/File3DS.h"
#include "scene/objects/GLObjects.h"
#include "scene/texture/Picture.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/meshes/SupportMeshes.h"
#include "tools/assets/Assets.h"
#include "tools/assets/Board.h"
#include "tools/assets/BoardLayout.h"
#include "tools/assets/Lathe.h"
#include "tools/assets/Looks.h"
#include "tools/assets/ModelView.h"
#include "tools/threeds/Writer3DS.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const char* const MODELS[] = {"re",     "regina",  "torre",           "alfiere",
                              "cavallo", "pedone", "scacchierabianco", "scacchieranero"};

// The files the build generated into the program's folder.
class GeneratedAssets : public ::testing::Test {
protected:
  static std::filesystem::path Path(const std::string& name) {
    return std::filesystem::path(BROVANEL_PROGRAM_FOLDER) / name;
  }
  static std::string Model(const std::string& name) { return Path("res/3ds/" + name + ".3ds").string(); }
  // The files of a folder, relative to the program's folder, in name order.
  static std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path(folder)))
      if (entry.is_regular_file()) names.push_back(folder + "/" + entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(GeneratedAssets, EveryRunWritesTheSameFilesAsTheBuild) {
  // A second run, in another process and another folder, must give the same bytes.
  const TScratchFolder folder;
  const std::vector<std::string> names = GenerateAssets(folder.Path().string());
  EXPECT_EQ(names.size(), 8u + 11 + 5 + 14 + 10 + 1);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(std::filesystem::exists(Path(name))) << "the build did not write it";
    EXPECT_TRUE(ReadFile(folder.Path() / name) == ReadFile(Path(name)));
  }
}

TEST_F(GeneratedAssets, BoardHalvesHaveTheSizesTheBoardWindowAccepts) {
  EXPECT_EQ(std::filesystem::file_size(Model("scacchierabianco")), LIGHT_BOARD_SIZE);
  EXPECT_EQ(std::filesystem::file_size(Model("scacchieranero")), DARK_BOARD_SIZE);
}

// Every directed edge must be met by the same number of edges the other way, once
// points at the same place count as one: then the faces close round solids and
// all turn the same way.
int UnmatchedEdges(const std::vector<const TMeshRecord3DS*>& meshes) {
  std::map<std::array<float, 3>, int> place;
  std::map<std::pair<int, int>, int> edges;
  for (const TMeshRecord3DS* mesh : meshes) {
    std::vector<int> id;
    for (const TAffineVector& v : mesh->Vertices)
      id.push_back(place.emplace(std::array<float, 3>{v.x, v.y, v.z}, int(place.size())).first->second);
    for (const TFace3DS& f : mesh->Faces) {
      const int c[3] = {id[f.V1], id[f.V2], id[f.V3]};
      for (int k = 0; k < 3; ++k) ++edges[{c[k], c[(k + 1) % 3]}];
    }
  }
  int unmatched = 0;
  for (const auto& [edge, count] : edges) {
    auto back = edges.find({edge.second, edge.first});
    unmatched += back == edges.end() || back->second != count;
  }
  return unmatched;
}

double Volume(const TMeshRecord3DS& mesh) {
  double volume = 0;
  for (const TFace3DS& f : mesh.Faces) {
    const TAffineVector &a = mesh.Vertices[f.V1], &b = mesh.Vertices[f.V2], &c = mesh.Vertices[f.V3];
    volume += Vec3Dot(a, Vec3Cross(b, c));
  }
  return volume / 6;
}

TEST_F(GeneratedAssets, ModelsLoadThroughTheImporterAsAnotherReaderSeesThem) {
  InitializeMeshUnits();
  std::vector<std::unique_ptr<TFile3DS>> boards;
  for (const char* name : MODELS) {
    SCOPED_TRACE(name);
    TGLMaterialLibrary library(nullptr);
    TFreeForm form(nullptr);
    form.SetMaterialLibrary(&library);
    ASSERT_NO_THROW(form.LoadFromFile(Model(name)));
    ASSERT_EQ(form.MeshObjects().Count(), 1);
    const TMeshObject& object = form.MeshObjects().Items(0);
    // A mesh object's indices are 16 bits, after the importer's splits.
    EXPECT_LE(object.Vertices().Count(), 65535);
    EXPECT_EQ(object.TexCoords().Count(), object.Vertices().Count());
    EXPECT_LE(object.TriangleCount(), 6000) << "more than a few thousand triangles";
    int grouped = 0;
    for (int g = 0; g < object.FaceGroups().Count(); ++g) {
      const TFaceGroup& group = object.FaceGroups().Items(g);
      EXPECT_NE(library.Materials().LibMaterialNamed(group.MaterialName()), nullptr) << group.MaterialName();
      grouped += group.TriangleCount();
    }
    EXPECT_EQ(grouped, object.TriangleCount()) << "faces without a material";
    if (HaveOracle()) {
      EXPECT_EQ(OracleSummary(Model(name)).Faces, object.TriangleCount());
    }

    // What the file holds: a smoothing mask per face, closed solids turned outward.
    auto file = std::make_unique<TFile3DS>(Model(name));
    const TMeshRecord3DS& mesh = *file->Objects().Mesh(0);
    EXPECT_EQ(mesh.SmoothingGroups.size(), mesh.Faces.size());
    if (std::string(name).starts_with("scacchiera")) {
      boards.push_back(std::move(file));
    } else {
      EXPECT_EQ(UnmatchedEdges({&mesh}), 0);
      EXPECT_GT(Volume(mesh), 0) << "faces turn clockwise seen from outside";
    }
  }
  // The board's two halves close round one solid together.
  const std::vector<const TMeshRecord3DS*> halves = {boards[0]->Objects().Mesh(0), boards[1]->Objects().Mesh(0)};
  EXPECT_EQ(UnmatchedEdges(halves), 0);
  EXPECT_GT(Volume(*halves[0]) + Volume(*halves[1]), 0);
}

TEST(TurnedSolids, RingsOfDifferentSizesCloseRoundTheSolid) {
  constexpr double PI = 3.14159265358979;
  // Profiles whose rings narrow, widen and end on the axis, with the solid's volume.
  struct TCase {
    const char* Name;
    std::vector<std::pair<double, double>> Points;  // (radius, height), corners all
    double Volume;
  } cases[] = {
      {"cylinder", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}, PI * 100 * 5},
      {"wide foot under a thin stem", {{0, 0}, {10, 0}, {10, 2}, {2, 2}, {2, 6}, {0, 6}}, PI * (100 * 2 + 4 * 4)},
      {"cone to a tip", {{0, 0}, {6, 0}, {0, 8}}, PI * 36 * 8 / 3},
      {"widening cup", {{0, 0}, {2, 0}, {10, 4}, {0, 4}}, PI * 4 / 3 * (4 + 20 + 100)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TProfile profile(c.Points[0].first, c.Points[0].second);
    for (std::size_t i = 1; i < c.Points.size(); ++i) profile.Line(c.Points[i].first, c.Points[i].second).Corner();
    TSmoothingGroups groups;
    const TAssetMesh mesh = Revolve(profile, 32, {10, 0}, groups);
    const TMeshRecord3DS record = MeshRecordOf(mesh, "turned", {{"Boxwood", {1, 1, 1}}});
    EXPECT_EQ(UnmatchedEdges({&record}), 0);
    // The chords of the widest ring stray no more than 0.1 from the circle: the
    // inscribed solid loses at most 2 % of the volume.
    EXPECT_NEAR(Volume(record), c.Volume, 0.02 * c.Volume);
    EXPECT_LT(Volume(record), c.Volume);
  }
  // A narrow ring takes fewer steps than a wide one.
  TProfile profile(0, 0);
  profile.Line(10, 0).Corner().Line(10, 2).Corner().Line(2, 2).Corner().Line(2, 6).Corner().Line(0, 6);
  TSmoothingGroups groups;
  const TAssetMesh mesh = Revolve(profile, 32, {10, 0}, groups);
  // The places on a ring (a corner ring is made twice, once for each side).
  auto ringSize = [&](double r, double z) {
    std::set<std::pair<long, long>> places;
    for (const TPoint3& p : mesh.Points)
      if (std::fabs(std::hypot(p.x, p.y) - r) < 1e-6 && std::fabs(p.z - z) < 1e-6)
        places.insert({std::lround(p.x * 1e4), std::lround(p.y * 1e4)});
    return places.size();
  };
  EXPECT_LT(ringSize(2, 6), ringSize(10, 0));
  EXPECT_LE(ringSize(10, 0), 32u);
}

TEST(ImporterShading, SmoothingGroupsDecideWhichCornersShareAVertex) {
  InitializeMeshUnits();
  const TScratchFolder folder;
  // The shared cube: 8 corners, 12 faces.
  const TModel3DS cube = CubeModel3DS();
  struct TCase {
    const char* Name;
    std::vector<std::uint32_t> Groups;
    int Vertices;
  } cases[] = {
      {"no smoothing groups", {}, 36},
      {"one group for all", std::vector<std::uint32_t>(12, 1), 8},
      {"a group per side", {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32}, 24},
      // Only the lowest bit counts: 3 goes with 1.
      {"lowest bit", {1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3}, 8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TModel3DS model = cube;
    model.Meshes[0].SmoothingGroups = c.Groups;
    TChunkWriter3DS writer;
    WriteModel3DS(writer, model);
    writer.SaveToFile(folder.File("cube.3ds"));
    TFreeForm form(nullptr);
    form.LoadFromFile(folder.File("cube.3ds"));
    const TMeshObject& shaded = form.MeshObjects().Items(0);
    EXPECT_EQ(shaded.Vertices().Count(), c.Vertices);
    // Normals point out of the cube (centre 0.5, 0.5, 0.5).
    for (int i = 0; i < shaded.Vertices().Count(); ++i)
      EXPECT_GT(Vec3Dot(shaded.Normals().GetItem(i), Vec3Sub(shaded.Vertices().GetItem(i), {0.5f, 0.5f, 0.5f})), 0);
  }
}

TEST_F(GeneratedAssets, PiecesStandUprightOnTheSurfaceOfBothBoards) {
  // The board window's scene with the artistic board; the classic board's surface
  // is the height field's.
  const std::string folder = BROVANEL_PROGRAM_FOLDER;
  const TStartScene scene(folder, false, folder + "/conf/artistic1.bvl", 1, 1);
  const TGLBaseSceneObject& dummy = scene.AllObjects();
  // The artistic board's faces in the dummy cube's frame, each with its half.
  struct TTriangle {
    TAffineVector A, B, C;
    bool Light;
  };
  std::vector<TTriangle> board;
  for (const TFreeForm* half : scene.ArtisticHalves()) {
    const TMatrix4 toDummy = MatrixMultiply(half->WorldMatrix(), dummy.InverseWorldMatrix());
    const std::unique_ptr<TAffineVectorList> corners = half->MeshObjects().GetTriangles();
    for (int k = 0; k + 2 < corners->Count(); k += 3)
      board.push_back({TransformPoint(corners->GetItem(k), toDummy), TransformPoint(corners->GetItem(k + 1), toDummy),
                       TransformPoint(corners->GetItem(k + 2), toDummy), half == scene.ArtisticHalves()[0]});
  }
  // The highest face of the artistic board straight under a point, and its height.
  auto under = [&](float x, float z, bool& light) {
    float best = -1e9f;
    for (const TTriangle& t : board) {
      const float d = (t.B.x - t.A.x) * (t.C.z - t.A.z) - (t.C.x - t.A.x) * (t.B.z - t.A.z);
      if (std::fabs(d) < 1e-6f) continue;
      const float u = ((x - t.A.x) * (t.C.z - t.A.z) - (t.C.x - t.A.x) * (z - t.A.z)) / d;
      const float v = ((t.B.x - t.A.x) * (z - t.A.z) - (x - t.A.x) * (t.B.z - t.A.z)) / d;
      if (u < 0 || v < 0 || u + v > 1) continue;
      const float y = t.A.y + u * (t.B.y - t.A.y) + v * (t.C.y - t.A.y);
      if (y > best) best = y, light = t.Light;
    }
    return best;
  };
  ASSERT_EQ(scene.Pieces().size(), 32u);
  for (const TStartScene::TPiece& piece : scene.Pieces()) {
    const auto [row, column, letter] = piece.Square;
    SCOPED_TRACE(std::string(1, letter) + " on row " + std::to_string(row) + ", column " + std::to_string(column));
    const TAxisAlignedBox box = MeshBox(*piece.Form, &dummy);
    TAffineVector modelLo, modelHi;
    piece.Form->GetExtents(modelLo, modelHi);
    // Upright: the model's z is the board's height.
    EXPECT_NEAR(box.Max.y - box.Min.y, modelHi.z - modelLo.z, 1e-3);
    const TAffineVector centre = scene.ClassicSquareCentre(row, column);
    // On the classic board's surface, which ripples by half a unit at most.
    EXPECT_NEAR(box.Min.y, centre.y, 0.5f);
    // On the artistic board: on the top of a square of the right colour (a1 dark).
    bool light = false;
    EXPECT_NEAR(under(centre.x, centre.z, light), box.Min.y, 0.01f);
    EXPECT_EQ(light, (8 - column + row) % 2 == 0);
  }
}

TEST_F(GeneratedAssets, LookFilesHoldWhatTheBoardWindowReads) {
  std::vector<std::string> looks = Files("conf");
  for (const std::string& name : Files("res/conf")) looks.push_back(name);
  for (const char* required : {"conf/classic1.bvl", "conf/classic2.bvl", "conf/classic3.bvl", "conf/classic4.bvl",
                               "conf/classic5.bvl", "conf/artistic1.bvl"})
    EXPECT_NE(std::find(looks.begin(), looks.end(), required), looks.end()) << required;
  EXPECT_GE(looks.size(), 8u);
  for (const std::string& name : looks) {
    SCOPED_TRACE(name);
    const TIniText ini(ReadFile(Path(name)));
    EXPECT_TRUE(ini.Value("board", "name")) << "not a look file without board/name";
    const std::optional<std::string> view = ini.Value("type", "view");
    ASSERT_TRUE(view);
    if (*view == "classic") {
      const std::optional<std::string> mod = ini.Value("type", "mod");
      ASSERT_TRUE(mod);
      const int picture = std::stoi(*mod);
      EXPECT_TRUE(picture >= 1 && picture <= 5);
      if (name.starts_with("conf/classic")) {
        EXPECT_EQ(name, "conf/classic" + *mod + ".bvl");
      }
    } else {
      EXPECT_EQ(*view, "artistic");
    }
    // Each section says its colour or names its texture, which exists.
    for (auto [section, colourKey, textureKey] :
         {std::tuple{"white", "color", "texture"}, {"black", "color", "texture"},
          {"white", "colorboard", "textureboard"}, {"black", "colorboard", "textureboard"}, {"back", "color", ""}}) {
      const auto colour = ini.Value(section, colourKey);
      const auto texture = *textureKey ? ini.Value(section, textureKey) : std::nullopt;
      EXPECT_NE(bool(colour), bool(texture)) << section << "/" << colourKey;
      if (colour) {
        EXPECT_EQ(std::to_string(std::stoi(*colour)), *colour);
        EXPECT_EQ(std::stoi(*colour) & ~0xFFFFFF, 0);
      }
      if (texture) {
        EXPECT_TRUE(std::filesystem::exists(Path(*texture))) << *texture;
      }
    }
  }
}

// The mean brightness of a part of a picture's bitmap.
double Brightness(const TBitmap& bitmap, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const TBGRPixel p = bitmap.PixelColor(x, y);
      sum += p.Red + p.Green + p.Blue;
    }
  return sum / (3.0 * (x1 - x0) * (y1 - y0));
}

TEST_F(GeneratedAssets, ClassicBoardPicturesAreCheckerboardsWithA1Dark) {
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    TPicture picture;
    picture.LoadFromFile(Path("res/boards/classic" + std::to_string(n) + ".bmp").string());
    const TBitmap& bitmap = *picture.Graphic();
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    EXPECT_EQ(bitmap.Width() % 4, 0);
    EXPECT_EQ(bitmap.Width() % 8, 0);
    EXPECT_EQ(bitmap.Height() % 8, 0);
    // Every dark square darker than every light one; a1 is the bottom-left square.
    const int sw = bitmap.Width() / 8, sh = bitmap.Height() / 8;
    double brightestDark = -1e9, darkestLight = 1e9;
    for (int file = 0; file < 8; ++file)
      for (int rank = 0; rank < 8; ++rank) {
        const int top = (7 - rank) * sh;
        const double b = Brightness(bitmap, file * sw, top, (file + 1) * sw, top + sh);
        if ((file + rank) % 2 == 0) brightestDark = std::max(brightestDark, b);
        else darkestLight = std::min(darkestLight, b);
      }
    EXPECT_LT(brightestDark, darkestLight);
    // The squares fill the picture: no border of another colour.
    EXPECT_LT(Brightness(bitmap, 0, bitmap.Height() - 2, 2, bitmap.Height()), darkestLight);
  }
}

TEST_F(GeneratedAssets, TexturesLoadAsThePieceAndBoardDialogsOfferThem) {
  int jpeg = 0, bmp = 0;
  for (const std::string& name : Files("res/textures")) {
    SCOPED_TRACE(name);
    TPicture picture;
    picture.LoadFromFile(Path(name).string());
    EXPECT_EQ(picture.Width() % 4, 0);
    EXPECT_GT(picture.Height(), 0);
    jpeg += name.ends_with(".jpg"), bmp += name.ends_with(".bmp");
  }
  EXPECT_GE(jpeg, 4);
  EXPECT_GE(bmp, 4);
}

TEST_F(GeneratedAssets, ToolBarImagesAreSmallRgbaPicturesWithAShape) {
  int images = 0;
  for (const std::string& name : Files("res/toolbar")) {
    ++images;
    SCOPED_TRACE(name);
    const std::string png = ReadFile(Path(name));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // IHDR: 24 x 24, 8 bits, RGBA.
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(png.substr(16, 10), std::string("\0\0\0\x18\0\0\0\x18\x08\x06", 10));
  }
  EXPECT_EQ(images, 14);
}

TEST_F(GeneratedAssets, LicenceIsTheMitLicenceOfTheDevelopers) {
  const std::string text = ReadFile(Path("license.TXT"));
  EXPECT_TRUE(text.starts_with("MIT License"));
  EXPECT_NE(text.find("Copyright (c) 2026 The Brovanel developers"), std::string::npos);
}

}  // namespace

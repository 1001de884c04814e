// Renders generated models off screen to PNG files through the board window's scene:
// the 3DS importer, free forms, the scene's camera and light, a memory viewer.
//   brovanel-render start FOLDER classic|artistic LOOK OUT.png [WIDTHxHEIGHT] [empty]
//       the start position from the start camera, with the look file's colours
//   brovanel-render model FILE.3ds OUT.png [DISTANCE [TURN...]]
//       one model on a square of the board, seen from the start camera's side
//       from DISTANCE units (default 90), once for each TURN degrees round it
//   brovanel-render pieces FOLDER OUT.png [TURN [DISTANCE]]
//       the six pieces side by side, each seen that way

#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <string>
#include <vector>

#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "scene/GLNonVisualViewer.h"
#include "scene/objects/GLObjects.h"
#include "tools/assets/ModelView.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: brovanel-render start FOLDER classic|artistic LOOK OUT.png [WIDTHxHEIGHT] [empty]\n"
               "       brovanel-render model FILE.3ds OUT.png [DISTANCE [TURN...]]\n"
               "       brovanel-render pieces FOLDER OUT.png [TURN [DISTANCE]]\n");
  return 2;
}

int Start(int argc, char** argv) {
  int width = 1200, height = 800;
  if (argc >= 7 && std::sscanf(argv[6], "%dx%d", &width, &height) != 2) return Usage();
  TStartScene scene(argv[2], std::string(argv[3]) == "classic", argv[4], width, height);
  scene.ShowPieces(!(argc >= 8 && std::string(argv[7]) == "empty"));
  SaveBytes(argv[5], PngFileBytes(scene.Render()));
  return 0;
}

// Copies the picture into `frame` with its top-left corner at (x, y).
void Paste(TImage& frame, const TImage& picture, int x, int y) {
  for (int j = 0; j < picture.Height(); ++j)
    for (int i = 0; i < picture.Width(); ++i) frame.Set(x + i, y + j, picture.Get(i, j));
}

// One model on a square of the board, seen from the start camera's direction
// turned round the vertical by each of `turns` (degrees), from `distance` units,
// its light turned and brought nearer with the camera; the pictures side by side.
TImage ModelTiles(const std::string& fileName, const std::vector<double>& turns, double distance, int width,
                  int height) {
  TBoardScene scene(width, height);
  scene.Viewer().Buffer().SetBackgroundColor(MakeRGB(64, 69, 77));
  TFreeForm& model = scene.AddPiece(fileName, 1, 4);
  model.Material().FrontProperties().Diffuse().SetColor({0.86f, 0.74f, 0.55f, 1});
  // Aimed at the middle of the model.
  const TAxisAlignedBox box = MeshBox(model);
  TDummyCube& middle = scene.Scene().Objects().CreateChild<TDummyCube>();
  const TAffineVector centre = Vec3Scaled(Vec3Add(box.Min, box.Max), 0.5f);
  middle.Position().SetPoint(centre.x, centre.y, centre.z);
  scene.Camera().SetTargetObject(&middle);

  const TAffineVector eye = Vec3Sub(BoardWindow::CAMERA_POSITION, Vec3Of(scene.AllObjects().WorldPosition()));
  const float scale = float(distance) / Vec3Length(eye);
  TImage tiles(width * int(turns.size()), height);
  for (std::size_t i = 0; i < turns.size(); ++i) {
    const double a = turns[i] * std::numbers::pi / 180;
    auto turned = [&](TAffineVector v) {
      return Vec3Scaled({float(v.x * std::cos(a) - v.z * std::sin(a)), v.y,
                         float(v.x * std::sin(a) + v.z * std::cos(a))}, scale);
    };
    const TAffineVector at = Vec3Add(centre, turned(eye)), light = turned(BoardWindow::LIGHT_POSITION);
    scene.Camera().Position().SetPoint(at.x, at.y, at.z);
    scene.Light().Position().SetPoint(light.x, light.y, light.z);
    Paste(tiles, scene.Render(), int(i) * width, 0);
  }
  return tiles;
}

int Model(int argc, char** argv) {
  const double distance = argc >= 5 ? std::atof(argv[4]) : 90;
  std::vector<double> turns;
  for (int i = 5; i < argc; ++i) turns.push_back(std::atof(argv[i]));
  if (turns.empty()) turns.push_back(0);
  SaveBytes(argv[3], PngFileBytes(ModelTiles(argv[2], turns, distance, 500, 600)));
  return 0;
}

int Pieces(int argc, char** argv) {
  const double turn = argc >= 5 ? std::atof(argv[4]) : 0, distance = argc >= 6 ? std::atof(argv[5]) : 90;
  constexpr int WIDTH = 400, HEIGHT = 520;
  TImage frame(3 * WIDTH, 2 * HEIGHT);
  const char* names[6] = {"re", "regina", "torre", "alfiere", "cavallo", "pedone"};
  for (int i = 0; i < 6; ++i)
    Paste(frame, ModelTiles(std::string(argv[2]) + "/res/3ds/" + names[i] + ".3ds", {turn}, distance, WIDTH, HEIGHT),
          (i % 3) * WIDTH, (i / 3) * HEIGHT);
  SaveBytes(argv[3], PngFileBytes(frame));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string verb = argv[1];
  try {
    if (verb == "start" && argc >= 6) return Start(argc, argv);
    if (verb == "model" && argc >= 4) return Model(argc, argv);
    if (verb == "pieces" && argc >= 4) return Pieces(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brovanel-render: %s\n", e.what());
    return 1;
  }
  return Usage();
}

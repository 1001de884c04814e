// Renders generated models off screen to PNG files, as the board window shows them.
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
  const bool empty = argc >= 8 && std::string(argv[7]) == "empty";
  TOffscreenFrame frame(width, height);
  TStartScene scene(argv[2], std::string(argv[3]) == "classic", argv[4]);
  DrawFrame(scene.View(), scene.Items(!empty), width, height);
  SaveBytes(argv[5], PngFileBytes(frame.Read()));
  return 0;
}

// One model into a tile of the frame.
void DrawModel(const std::vector<TShadedMesh>& meshes, double turn, double distance, int width, int height, int x,
               int y) {
  const TBoardLayout layout;
  const TMatrix4 world = layout.PieceMatrix(1, 4);
  // Aim at the middle of the model, from the start camera's direction turned
  // round the vertical.
  TAffineVector lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
  for (const TShadedMesh& mesh : meshes)
    for (const TAffineVector& v : mesh.Positions) {
      const TAffineVector w = TransformPoint(v, world);
      for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], w[k]), hi[k] = std::max(hi[k], w[k]);
    }
  TView view;
  view.Target = Vec3Scaled(Vec3Add(lo, hi), 0.5f);
  // The camera and its light keep the start position's bearings, turned round the
  // vertical and brought nearer.
  const double a = turn * std::numbers::pi / 180;
  auto turned = [&](TAffineVector v) {
    return TAffineVector{float(v.x * std::cos(a) - v.z * std::sin(a)), v.y,
                         float(v.x * std::sin(a) + v.z * std::cos(a))};
  };
  const TAffineVector eye = Vec3Sub(layout.CameraPosition(), layout.CameraTarget());
  const float scale = float(distance) / Vec3Length(eye);
  view.Eye = Vec3Add(view.Target, Vec3Scaled(turned(eye), scale));
  view.Light = Vec3Add(view.Target, Vec3Scaled(turned(Vec3Sub(layout.LightPosition(), layout.CameraTarget())), scale));
  view.Background = {0.25, 0.27, 0.3};
  std::vector<TDrawItem> items;
  for (const TShadedMesh& mesh : meshes) items.push_back({&mesh, world, {0.86, 0.74, 0.55}});
  DrawFrame(view, items, width, height, x, y);
}

int Model(int argc, char** argv) {
  const double distance = argc >= 5 ? std::atof(argv[4]) : 90;
  std::vector<double> turns;
  for (int i = 5; i < argc; ++i) turns.push_back(std::atof(argv[i]));
  if (turns.empty()) turns.push_back(0);
  constexpr int WIDTH = 500, HEIGHT = 600;
  TOffscreenFrame frame(WIDTH * int(turns.size()), HEIGHT);
  const std::vector<TShadedMesh> meshes = LoadShadedModel(argv[2]);
  for (std::size_t i = 0; i < turns.size(); ++i)
    DrawModel(meshes, turns[i], distance, WIDTH, HEIGHT, int(i) * WIDTH, 0);
  SaveBytes(argv[3], PngFileBytes(frame.Read()));
  return 0;
}

int Pieces(int argc, char** argv) {
  const double turn = argc >= 5 ? std::atof(argv[4]) : 0, distance = argc >= 6 ? std::atof(argv[5]) : 90;
  constexpr int WIDTH = 400, HEIGHT = 520;
  TOffscreenFrame frame(3 * WIDTH, 2 * HEIGHT);
  const char* names[6] = {"re", "regina", "torre", "alfiere", "cavallo", "pedone"};
  for (int i = 0; i < 6; ++i)
    DrawModel(LoadShadedModel(std::string(argv[2]) + "/res/3ds/" + names[i] + ".3ds"), turn, distance, WIDTH, HEIGHT,
              (i % 3) * WIDTH, (1 - i / 3) * HEIGHT);
  SaveBytes(argv[3], PngFileBytes(frame.Read()));
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

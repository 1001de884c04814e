#include "tools/assets/ModelView.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "meshes/threeds/File3DS.h"
#include "scene/GLCamera.h"
#include "scene/gl/GLEGLContext.h"
#include "scene/gl/OpenGLBinding.h"
#include "scene/texture/Picture.h"
#include "tools/assets/Looks.h"

TOffscreenFrame::TOffscreenFrame(int width, int height)
    : FContext(std::make_unique<TGLEGLContext>()), FWidth(width), FHeight(height) {
  // Mesa's software rasteriser gives the same pixels on every machine.
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  FContext->SetColorBits(24);
  FContext->SetAlphaBits(8);
  FContext->SetDepthBits(24);
  FContext->CreateMemoryContext(0, width, height);
  FContext->Activate();
}

TOffscreenFrame::~TOffscreenFrame() {
  try {
    if (FContext->Active()) FContext->SetActive(false);
  } catch (const std::exception&) {
    // The context goes with the object whether or not the driver let it go.
  }
}

TImage TOffscreenFrame::Read() const {
  std::vector<std::uint8_t> pixels(std::size_t(FWidth) * FHeight * 4);
  GL->glFinish();
  GL->glPixelStorei(GL_PACK_ALIGNMENT, 1);
  GL->glReadPixels(0, 0, FWidth, FHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  TImage image(FWidth, FHeight);
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x) {
      const std::uint8_t* p = &pixels[(std::size_t(FHeight - 1 - y) * FWidth + x) * 4];
      image.Set(x, y, Rgb255(p[0], p[1], p[2]));
    }
  return image;
}

// ---------------------------------------------------------------------------
// Matrices

TViewMatrices::TViewMatrices(const TView& view, int width, int height) : Width(width), Height(height) {
  // The scene's own camera works the matrices out, aimed at a node on the target.
  TGLScene scene(nullptr);
  TGLBaseSceneObject& target = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  target.Position().SetPoint(view.Target.x, view.Target.y, view.Target.z);
  TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  camera.Position().SetPoint(view.Eye.x, view.Eye.y, view.Eye.z);
  camera.SetFocalLength(float(view.FocalLength));
  camera.SetDepthOfView(float(view.DepthOfView));
  camera.SetTargetObject(&target);
  GL->glMatrixMode(GL_PROJECTION);
  GL->glPushMatrix();
  GL->glLoadIdentity();
  // The frame passes 96 dots per inch.
  camera.SetProjection({0, 0, width, height}, width, height, 96);
  GL->glGetDoublev(GL_PROJECTION_MATRIX, Projection);
  GL->glPopMatrix();
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glPushMatrix();
  GL->glLoadIdentity();
  camera.Apply();
  GL->glGetDoublev(GL_MODELVIEW_MATRIX, View);
  GL->glPopMatrix();
}

void TViewMatrices::Project(const TAffineVector& world, double& x, double& y) const {
  double e[4], c[4];
  const double w[4] = {world.x, world.y, world.z, 1};
  for (int r = 0; r < 4; ++r) e[r] = View[r] * w[0] + View[4 + r] * w[1] + View[8 + r] * w[2] + View[12 + r] * w[3];
  for (int r = 0; r < 4; ++r)
    c[r] = Projection[r] * e[0] + Projection[4 + r] * e[1] + Projection[8 + r] * e[2] + Projection[12 + r] * e[3];
  x = (c[0] / c[3] + 1) / 2 * Width;
  y = (1 - (c[1] / c[3] + 1) / 2) * Height;
}

// ---------------------------------------------------------------------------
// Drawing

unsigned LoadTexture(const std::string& fileName) {
  TPicture picture;
  picture.LoadFromFile(fileName);
  TBitmap rgb(picture.Width(), picture.Height(), pf24bit);
  rgb.StretchDraw(*picture.Graphic());
  // GL takes the bottom row first; the bitmap's rows are blue, green, red.
  std::vector<std::uint8_t> data;
  for (int y = rgb.Height() - 1; y >= 0; --y)
    for (int x = 0; x < rgb.Width(); ++x) {
      const std::uint8_t* p = rgb.ScanLine(y) + 3 * x;
      data.insert(data.end(), {p[2], p[1], p[0]});
    }
  GLuint name = 0;
  GL->glGenTextures(1, &name);
  GL->glBindTexture(GL_TEXTURE_2D, name);
  GL->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  GL->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  GL->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  GL->gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, rgb.Width(), rgb.Height(), GL_RGB, GL_UNSIGNED_BYTE, data.data());
  return name;
}

void DrawFrame(const TView& view, const std::vector<TDrawItem>& items, int width, int height, int x, int y) {
  const TViewMatrices matrices(view, width, height);
  GL->glViewport(x, y, width, height);
  GL->glScissor(x, y, width, height);
  GL->glEnable(GL_SCISSOR_TEST);
  GL->glClearColor(float(view.Background.R), float(view.Background.G), float(view.Background.B), 1);
  GL->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  GL->glDisable(GL_SCISSOR_TEST);
  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadMatrixd(matrices.Projection);
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glLoadMatrixd(matrices.View);
  // The board window's light: a white point light with no ambient part, moving with
  // the camera; materials with the default ambient and no highlight.
  const float light[4] = {view.Light.x, view.Light.y, view.Light.z, 1};
  const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1}, ambient[4] = {0.2f, 0.2f, 0.2f, 1};
  GL->glLightfv(GL_LIGHT0, GL_POSITION, light);
  GL->glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  GL->glLightfv(GL_LIGHT0, GL_AMBIENT, black);
  GL->glLightfv(GL_LIGHT0, GL_SPECULAR, black);
  GL->glEnable(GL_LIGHT0);
  GL->glEnable(GL_LIGHTING);
  GL->glEnable(GL_DEPTH_TEST);
  GL->glEnable(GL_CULL_FACE);
  GL->glShadeModel(GL_SMOOTH);
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  GL->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  for (const TDrawItem& item : items) {
    GL->glPushMatrix();
    GL->glMultMatrixf(&item.World[0].x);
    const float diffuse[4] = {float(item.Colour.R), float(item.Colour.G), float(item.Colour.B), 1};
    GL->glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    if (item.Texture) {
      GL->glEnable(GL_TEXTURE_2D);
      GL->glBindTexture(GL_TEXTURE_2D, item.Texture);
    } else {
      GL->glDisable(GL_TEXTURE_2D);
    }
    const TShadedMesh& mesh = *item.Mesh;
    GL->glBegin(GL_TRIANGLES);
    for (std::uint32_t i : mesh.Indices) {
      GL->glNormal3fv(&mesh.Normals[i].x);
      if (!mesh.TexCoords.empty()) GL->glTexCoord2fv(&mesh.TexCoords[i].S);
      GL->glVertex3fv(&mesh.Positions[i].x);
    }
    GL->glEnd();
    GL->glPopMatrix();
  }
  GL->glDisable(GL_TEXTURE_2D);
}

std::vector<TShadedMesh> LoadShadedModel(const std::string& fileName) {
  TFile3DS file(fileName);
  std::vector<TShadedMesh> meshes;
  for (int i = 0; i < file.Objects().MeshCount(); ++i) {
    const TMeshRecord3DS& record = *file.Objects().Mesh(i);
    if (!record.Hidden && record.Vertices.size() >= 3) meshes.push_back(ShadeLikeImporter(record));
  }
  return meshes;
}

// ---------------------------------------------------------------------------
// The start position

std::vector<TStartPiece> StartPieces() {
  const std::string placement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
  std::vector<TStartPiece> pieces;
  int row = 8, file = 0;  // file 0 is the a-file
  for (char c : placement) {
    if (c == '/') {
      --row;
      file = 0;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      file += c - '0';
    } else {
      pieces.push_back({row, 8 - file, c});
      ++file;
    }
  }
  return pieces;
}

struct TStartScene::TPieceModel {
  char Letter;
  int Row, Column;
  const std::vector<TShadedMesh>* Meshes;
};

namespace {

std::string ModelOfLetter(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'K': return "re.3ds";
    case 'Q': return "regina.3ds";
    case 'R': return "torre.3ds";
    case 'B': return "alfiere.3ds";
    case 'N': return "cavallo.3ds";
    default: return "pedone.3ds";
  }
}

// The height field of the classic board over its unit square, as it samples it:
// x below 1 in steps of 0.01, y up to 1; texture coordinates (x, y).
TShadedMesh ClassicBoardMesh() {
  TShadedMesh mesh;
  constexpr int COLUMNS = 100, ROWS = 101;
  for (int j = 0; j < ROWS; ++j)
    for (int i = 0; i < COLUMNS; ++i) {
      const float x = i * 0.01f, y = j * 0.01f;
      mesh.Positions.push_back({x, y, BoardWindow::ClassicBoardHeight(x, y)});
      mesh.Normals.push_back({0, 0, 1});
      mesh.TexCoords.push_back({x, y});
    }
  for (int j = 0; j + 1 < ROWS; ++j)
    for (int i = 0; i + 1 < COLUMNS; ++i) {
      const std::uint32_t a = j * COLUMNS + i, b = a + 1, c = a + COLUMNS + 1, d = a + COLUMNS;
      mesh.Indices.insert(mesh.Indices.end(), {a, b, c, a, c, d});
    }
  return mesh;
}

std::string ReadText(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TStartScene::TStartScene(const std::string& folder, bool classic, const std::string& lookFile) : FClassic(classic) {
  // What the board window shows before a look is loaded: the artistic board's dark
  // half white and its light half black, pieces in the default material.
  TLook look;
  look.Classic = classic;
  look.LightBoard.Colour = {0, 0, 0};
  look.DarkBoard.Colour = {1, 1, 1};
  look.LightPieces.Colour = look.DarkPieces.Colour = {0.8, 0.8, 0.8};
  look = ApplyLookFile(TIniText(ReadText(lookFile)), look);
  FView.Eye = FLayout.CameraPosition();
  FView.Target = FLayout.CameraTarget();
  FView.Light = FLayout.LightPosition();
  FView.Background = look.Background;

  auto texture = [&](const TLookSide& side) {
    return side.Texture.empty() ? 0u : LoadTexture(folder + "/" + side.Texture);
  };
  const std::string models = folder + "/res/3ds/";
  if (classic) {
    FBoard[0].push_back(ClassicBoardMesh());
    FBoardColour[0] = {0.65, 0.49, 0.24};
    FBoardTexture[0] = LoadTexture(folder + "/res/boards/classic" + std::to_string(look.Picture) + ".bmp");
  } else {
    FBoard[0] = LoadShadedModel(models + "scacchierabianco.3ds");
    FBoard[1] = LoadShadedModel(models + "scacchieranero.3ds");
    FBoardColour[0] = look.LightBoard.Colour;
    FBoardColour[1] = look.DarkBoard.Colour;
    FBoardTexture[0] = texture(look.LightBoard);
    FBoardTexture[1] = texture(look.DarkBoard);
  }
  FPieceColour[0] = look.LightPieces.Colour;
  FPieceColour[1] = look.DarkPieces.Colour;
  FPieceTexture[0] = texture(look.LightPieces);
  FPieceTexture[1] = texture(look.DarkPieces);

  for (const TStartPiece& p : StartPieces()) {
    const std::string file = models + ModelOfLetter(p.Letter);
    auto found = FModels.find(file);
    if (found == FModels.end()) found = FModels.emplace(file, LoadShadedModel(file)).first;
    FPieces.push_back(std::make_unique<TPieceModel>(TPieceModel{p.Letter, p.Row, p.Column, &found->second}));
  }
}

TStartScene::~TStartScene() = default;

std::vector<TDrawItem> TStartScene::Items(bool pieces) const {
  std::vector<TDrawItem> items;
  const TMatrix4 board = FClassic ? FLayout.ClassicBoardMatrix() : FLayout.ArtisticBoardMatrix();
  for (int half = 0; half < 2; ++half)
    for (const TShadedMesh& mesh : FBoard[half])
      items.push_back({&mesh, board, FBoardColour[half], FBoardTexture[half]});
  if (!pieces) return items;
  for (const auto& piece : FPieces) {
    const int side = std::isupper(static_cast<unsigned char>(piece->Letter)) ? 0 : 1;
    const TMatrix4 world = FLayout.PieceMatrix(piece->Row, piece->Column);
    for (const TShadedMesh& mesh : *piece->Meshes)
      items.push_back({&mesh, world, FPieceColour[side], FPieceTexture[side]});
  }
  return items;
}

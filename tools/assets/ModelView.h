#pragma once
// Draws generated models off screen the way the board window shows them: Mesa's
// software rasteriser through the project's GL binding and an EGL pixel buffer,
// immediate-mode triangles with the importer's normals, one light, the scene's
// camera, textures in decal mode. For looking at the models as PNG
// files and for the tests that read the pixels back.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/assets/AssetMesh.h"
#include "tools/assets/BoardLayout.h"
#include "tools/assets/Raster.h"

class TGLEGLContext;

// A pixel buffer with depth, active on this thread while the object lives.
class TOffscreenFrame {
public:
  TOffscreenFrame(int width, int height);
  ~TOffscreenFrame();
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The buffer's pixels, top row first.
  TImage Read() const;

private:
  std::unique_ptr<TGLEGLContext> FContext;
  int FWidth, FHeight;
};

// A camera at Eye looking at Target, up along +Y, with the board window's lens,
// and the light.
struct TView {
  TAffineVector Eye{0, 0, 0}, Target{0, 0, -1};
  double FocalLength = BoardWindow::CAMERA_FOCAL_LENGTH;
  double DepthOfView = BoardWindow::CAMERA_DEPTH_OF_VIEW;
  TAffineVector Light{0, 0, 0};
  TRgb Background;
};

// The view's matrices for a frame of the given size, column-major as GL takes
// them, as the scene's camera sets them. Needs a current context.
struct TViewMatrices {
  double View[16], Projection[16];
  int Width, Height;
  TViewMatrices(const TView& view, int width, int height);
  // The pixel (x right, y down from the top-left) where a world point shows.
  void Project(const TAffineVector& world, double& x, double& y) const;
};

struct TDrawItem {
  const TShadedMesh* Mesh;
  TMatrix4 World;
  TRgb Colour;
  unsigned Texture = 0;  // a GL texture name, 0 for the colour
};

// A texture of the current context from a BMP or JPEG file.
unsigned LoadTexture(const std::string& fileName);
// Draws into the rectangle of the frame whose bottom-left corner is (x, y).
void DrawFrame(const TView& view, const std::vector<TDrawItem>& items, int width, int height, int x = 0, int y = 0);

// The shaded meshes of a 3DS file, all its objects.
std::vector<TShadedMesh> LoadShadedModel(const std::string& fileName);

// The start position as the board window shows it after start-up, from the files
// that the generator wrote under `folder`: the classic board (with the look's
// picture) or the artistic board's two halves, the 32 pieces, the look's colours
// and textures, the start camera and its light. Needs a current context.
class TStartScene {
public:
  TStartScene(const std::string& folder, bool classic, const std::string& lookFile);
  ~TStartScene();
  // What to draw; without the pieces, the empty board.
  std::vector<TDrawItem> Items(bool pieces) const;
  const TView& View() const { return FView; }
  const TBoardLayout& Layout() const { return FLayout; }

private:
  struct TPieceModel;
  TBoardLayout FLayout;
  TView FView;
  std::vector<TShadedMesh> FBoard[2];  // light and dark halves, or the height field in [0]
  TRgb FBoardColour[2];
  unsigned FBoardTexture[2] = {0, 0};
  std::map<std::string, std::vector<TShadedMesh>> FModels;  // by file
  std::vector<std::unique_ptr<TPieceModel>> FPieces;
  TRgb FPieceColour[2];  // light, dark
  unsigned FPieceTexture[2] = {0, 0};
  bool FClassic;
};

// The start position's pieces as (row, column, FEN letter), a8 first.
struct TStartPiece {
  int Row, Column;
  char Letter;
};
std::vector<TStartPiece> StartPieces();

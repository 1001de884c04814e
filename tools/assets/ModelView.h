#pragma once
// The generated models in the board window's scene, drawn off screen: the models
// are loaded by the program's 3DS importer into free forms under the AllObjects
// dummy cube with the board window's transforms, the start camera looks at them
// with its light, and a memory viewer draws them on Mesa's software rasteriser.
// For looking at the models as PNG files and for the tests that read the pixels
// back.
//
//   TStartScene scene(folder, true, folder + "/conf/classic1.bvl", 1200, 800);
//   SaveBytes("start.png", PngFileBytes(scene.Render()));

#include <memory>
#include <string>
#include <vector>

#include "base/GeometryBB.h"
#include "tools/assets/BoardLayout.h"
#include "tools/assets/Raster.h"

class TBaseMesh;
class TDummyCube;
class TFreeForm;
class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;
class TGLMemoryViewer;
class TGLScene;
class THeightField;

// The board window's scene tree without pieces or boards: AllObjects, the classic
// board's height field (hidden until a board picture is given), and the start
// camera with its light; a memory viewer of the given size looks through the
// camera. Nothing needs a GL context before the first Render.
class TBoardScene {
public:
  TBoardScene(int width, int height);
  ~TBoardScene();

  TGLScene& Scene() { return *FScene; }
  TDummyCube& AllObjects() { return *FAllObjects; }
  const TDummyCube& AllObjects() const { return *FAllObjects; }
  TGLCamera& Camera() { return *FCamera; }
  TGLLightSource& Light() { return *FLight; }
  TGLMemoryViewer& Viewer() { return *FViewer; }

  // A piece model as the board window makes one: a free form under AllObjects,
  // loaded, pitched upright, then put on its square (row 1..8, column 1 the h-file).
  TFreeForm& AddPiece(const std::string& fileName, int row, int column);
  // A half of the artistic board, rolled, pitched and placed as the board window does.
  TFreeForm& AddArtisticHalf(const std::string& fileName);
  // Shows the height field with the picture as its texture.
  void ShowClassicBoard(const std::string& pictureFile);

  // Draws a frame; its pixels, top row first.
  TImage Render();

  // The centre of a square on the classic board's surface, in AllObjects' frame.
  TAffineVector ClassicSquareCentre(int row, int column) const;

private:
  std::unique_ptr<TGLScene> FScene;
  TDummyCube* FAllObjects;
  THeightField* FHeightField;
  TGLCamera* FCamera;
  TGLLightSource* FLight;
  std::unique_ptr<TGLMemoryViewer> FViewer;
};

// The box of the mesh's vertices as placed in the scene, in the frame of `frame`
// (axis-aligned there), or in the world's without one.
TAxisAlignedBox MeshBox(const TBaseMesh& mesh, const TGLBaseSceneObject* frame = nullptr);

// The start position's pieces as (row, column, FEN letter), a8 first.
struct TStartPiece {
  int Row, Column;
  char Letter;
};
std::vector<TStartPiece> StartPieces();
// The model file of a piece by its FEN letter, either case: "re.3ds" for K, the
// pawn's for a letter of no piece.
std::string PieceModelFile(char letter);

// The start position as the board window shows it after start-up, from the files
// that the generator wrote under `folder`: the classic board with the look's picture
// or the artistic board's two halves, the 32 pieces, the look's colours and
// textures and its background.
class TStartScene : public TBoardScene {
public:
  struct TPiece {
    TFreeForm* Form;
    TStartPiece Square;
  };

  TStartScene(const std::string& folder, bool classic, const std::string& lookFile, int width, int height);

  const std::vector<TPiece>& Pieces() const { return FPieces; }
  // The artistic board's light and dark halves; none with the classic board.
  const std::vector<TFreeForm*>& ArtisticHalves() const { return FHalves; }
  // Hides or shows every piece; hidden, the frame shows the empty board.
  void ShowPieces(bool visible);

private:
  std::vector<TPiece> FPieces;
  std::vector<TFreeForm*> FHalves;
};

#include "tools/assets/ModelView.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "scene/GLNonVisualViewer.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "tools/assets/Looks.h"

namespace {

void InitializeOnce() {
  static const bool initialized = [] {
    // Mesa's software rasteriser gives the same pixels on every machine.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    InitializePersistentClasses();
    InitializeVectorLists();
    InitializeVectorFileObjects();
    return true;
  }();
  (void)initialized;
}

void SetColour(TGLColor& colour, TRgb rgb) { colour.SetColor({float(rgb.R), float(rgb.G), float(rgb.B), 1}); }

}  // namespace

TBoardScene::TBoardScene(int width, int height) {
  using namespace BoardWindow;
  InitializeOnce();
  FScene = std::make_unique<TGLScene>(nullptr);
  FAllObjects = &FScene->Objects().CreateChild<TDummyCube>();
  FAllObjects->Position().SetPoint(-50, 6, 50);
  FAllObjects->Direction().SetVector(0, 0, -1);

  // The classic board: a height field over the unit square, its texture the board
  // picture, its surface the height source's default ripple; placed as a board
  // picture places it, and hidden until one is shown.
  FHeightField = &FAllObjects->CreateChild<THeightField>();
  FHeightField->SetVisible(false);
  FHeightField->Direction().SetVector(0, 1, 0);
  FHeightField->Up().SetVector(0, 0, 1);
  FHeightField->Scale().SetVector(CLASSIC_SCALE, CLASSIC_SCALE, 1);
  FHeightField->Position().SetPoint(CLASSIC_X, CLASSIC_Y, CLASSIC_Z);
  TGLFaceProperties& board = FHeightField->Material().FrontProperties();
  board.Ambient().SetColor({0.65f, 0.49f, 0.24f, 1});
  board.Diffuse().SetColor({0.65f, 0.49f, 0.24f, 1});
  for (TGLSamplingScale* scale : {&FHeightField->XSamplingScale(), &FHeightField->YSamplingScale()}) {
    scale->SetMax(1);
    scale->SetStep(0.01f);
  }
  FHeightField->SetOptions(hfoTextureCoordinates);

  FCamera = &FScene->Cameras().CreateChild<TGLCamera>();
  FCamera->SetDepthOfView(CAMERA_DEPTH_OF_VIEW);
  FCamera->SetFocalLength(CAMERA_FOCAL_LENGTH);
  FCamera->SetTargetObject(FAllObjects);
  FCamera->Position().SetPoint(CAMERA_POSITION.x, CAMERA_POSITION.y, CAMERA_POSITION.z);
  FLight = &FCamera->CreateChild<TGLLightSource>();
  FLight->Position().SetPoint(LIGHT_POSITION.x, LIGHT_POSITION.y, LIGHT_POSITION.z);
  FLight->SetConstAttenuation(1);
  FLight->SetSpotCutOff(180);
  FLight->SpotDirection().SetVector(1, 0, -1);

  FViewer = std::make_unique<TGLMemoryViewer>(nullptr);
  FViewer->SetWidth(width);
  FViewer->SetHeight(height);
  FViewer->SetCamera(FCamera);
  FViewer->Buffer().SetBackgroundColor(MakeRGB(0, 0, 0));
}

TBoardScene::~TBoardScene() {
  // The viewer leaves the scene and frees its context while both still exist.
  FViewer.reset();
}

TFreeForm& TBoardScene::AddPiece(const std::string& fileName, int row, int column) {
  using namespace BoardWindow;
  TFreeForm& piece = FAllObjects->CreateChild<TFreeForm>();
  piece.LoadFromFile(fileName);
  piece.SetPitchAngle(90);
  piece.Position().SetPoint(column * SQUARE_SIZE + BOARD_ORIGIN_X, PIECE_HEIGHT, row * SQUARE_SIZE + BOARD_ORIGIN_Z);
  return piece;
}

TFreeForm& TBoardScene::AddArtisticHalf(const std::string& fileName) {
  using namespace BoardWindow;
  TFreeForm& half = FAllObjects->CreateChild<TFreeForm>();
  half.LoadFromFile(fileName);
  half.SetRollAngle(270);
  half.SetPitchAngle(90);
  half.Position().SetPoint(ARTISTIC_X, ARTISTIC_Y, ARTISTIC_Z);
  return half;
}

void TBoardScene::ShowClassicBoard(const std::string& pictureFile) {
  TGLTexture& texture = FHeightField->Material().Texture();
  texture.Image().LoadFromFile(pictureFile);
  texture.SetDisabled(false);
  FHeightField->SetVisible(true);
}

TImage TBoardScene::Render() {
  FViewer->Render();
  const int width = FViewer->Width(), height = FViewer->Height();
  std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
  TGLContext& context = *FViewer->Buffer().RenderingContext();
  context.Activate();
  GL->glFinish();
  GL->glPixelStorei(GL_PACK_ALIGNMENT, 1);
  GL->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  context.Deactivate();
  TImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = &pixels[(std::size_t(height - 1 - y) * width + x) * 4];
      image.Set(x, y, Rgb255(p[0], p[1], p[2]));
    }
  return image;
}

TAffineVector TBoardScene::ClassicSquareCentre(int row, int column) const {
  // The picture's a-file is its left column (texture s = 0), rank 1 its bottom row
  // (t = 0); the height field samples s and t as its own x and y.
  const float x = (8 - column + 0.5f) / 8, y = (row - 0.5f) / 8;
  return TransformPoint({x, y, BoardWindow::ClassicBoardHeight(x, y)}, FHeightField->LocalMatrix());
}

TAxisAlignedBox MeshBox(const TBaseMesh& mesh, const TGLBaseSceneObject* frame) {
  TAxisAlignedBox box;
  mesh.MeshObjects().GetExtents(box.Min, box.Max);
  AABBTransform(box, frame ? MatrixMultiply(mesh.WorldMatrix(), frame->InverseWorldMatrix()) : mesh.WorldMatrix());
  return box;
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

std::string PieceModelFile(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'K': return "re.3ds";
    case 'Q': return "regina.3ds";
    case 'R': return "torre.3ds";
    case 'B': return "alfiere.3ds";
    case 'N': return "cavallo.3ds";
    default: return "pedone.3ds";
  }
}

namespace {

std::string ReadText(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A look's colour or texture on an object's material, as the board window sets it.
void ApplyLookSide(TGLCustomSceneObject& object, const TLookSide& side, const std::string& folder) {
  TGLMaterial& material = object.Material();
  SetColour(material.FrontProperties().Diffuse(), side.Colour);
  if (!side.Texture.empty()) material.Texture().Image().LoadFromFile(folder + "/" + side.Texture);
  material.Texture().SetDisabled(side.Texture.empty());
}

}  // namespace

TStartScene::TStartScene(const std::string& folder, bool classic, const std::string& lookFile, int width,
                         int height)
    : TBoardScene(width, height) {
  // What the board window shows before a look is loaded: the artistic board's dark
  // half white and its light half black, pieces in the default material.
  TLook look;
  look.Classic = classic;
  look.LightBoard.Colour = {0, 0, 0};
  look.DarkBoard.Colour = {1, 1, 1};
  look.LightPieces.Colour = look.DarkPieces.Colour = {0.8, 0.8, 0.8};
  look = ApplyLookFile(TIniText(ReadText(lookFile)), look);
  Viewer().Buffer().SetBackgroundColor(ColourInteger(look.Background));

  const std::string models = folder + "/res/3ds/";
  if (classic) {
    ShowClassicBoard(folder + "/res/boards/classic" + std::to_string(look.Picture) + ".bmp");
  } else {
    FHalves = {&AddArtisticHalf(models + "scacchierabianco.3ds"), &AddArtisticHalf(models + "scacchieranero.3ds")};
    ApplyLookSide(*FHalves[0], look.LightBoard, folder);
    ApplyLookSide(*FHalves[1], look.DarkBoard, folder);
  }
  for (const TStartPiece& p : StartPieces()) {
    TFreeForm& form = AddPiece(models + PieceModelFile(p.Letter), p.Row, p.Column);
    const bool light = std::isupper(static_cast<unsigned char>(p.Letter));
    ApplyLookSide(form, light ? look.LightPieces : look.DarkPieces, folder);
    FPieces.push_back({&form, p});
  }
}

void TStartScene::ShowPieces(bool visible) {
  for (const TPiece& piece : FPieces) piece.Form->SetVisible(visible);
}

#include "app/MainScene.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/maindefine.h"
#include "app/utility.h"
#include "base/Dialogs.h"
#include "base/Streams.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "scene/GLNonVisualViewer.h"
#include "scene/GLSceneBuffer.h"
#include "scene/GLzBuffer.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "scene/objects/GLQuadrics.h"

namespace fs = std::filesystem;

namespace {

constexpr char MODELS_NOT_FOUND_TEXT[] = " not found";
constexpr char MODEL_FILE_NOT_FOUND_TEXT[] = "File .3ds not found";

// The model files the board needs, pieces and the artistic board's halves.
constexpr const char* MODEL_FILES[] = {"re.3ds",      "regina.3ds",  "cavallo.3ds",          "pedone.3ds",
                                       "alfiere.3ds", "torre.3ds",   "scacchierabianco.3ds", "scacchieranero.3ds"};

template <class T>
T& Named(T& object, const char* name) {
  object.SetName(name);
  return object;
}

void SetColour(TGLColor& colour, float r, float g, float b) { colour.SetColor({r, g, b, 1}); }

// True when the file exists and can be opened for reading.
bool Readable(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return false;
  return std::ifstream(path, std::ios::binary).is_open();
}

}  // namespace

TBoardScene::TBoardScene()
    : GLScene1(std::make_unique<TGLScene>(nullptr)),
      GLMemoryViewer1(std::make_unique<TGLMemoryViewer>(nullptr)),
      GLMaterialLibrary1(std::make_unique<TGLMaterialLibrary>(nullptr)) {
  GLScene1->SetName("GLScene1");
  GLScene1->SetObjectsSorting(osNone);

  AllObjects = &Named(GLScene1->Objects().CreateChild<TDummyCube>(), "AllObjects");
  AllObjects->Position().SetPoint(-50, 6, 50);
  AllObjects->Direction().SetVector(0, 0, -1);
  AllObjects->SetCubeSize(1);

  sphere1 = &Named(AllObjects->CreateChild<TArrowLine>(), "sphere1");
  sphere1->Direction().SetVector(0, -1, 0);
  sphere1->Up().SetVector(-1, 0, 0);
  sphere1->Scale().SetVector(12, 12, 30);
  sphere1->Material().FrontProperties().Diffuse().SetColor({1.0f, 0.25f, 0.0f, 1.0f});
  sphere1->SetBottomRadius(0.1f);
  sphere1->SetTopRadius(0.1f);
  sphere1->SetHeight(1.0f);
  sphere1->SetTopArrowHeadHeight(0.5f);
  sphere1->SetTopArrowHeadRadius(0.2f);
  sphere1->SetBottomArrowHeadHeight(0.5f);
  sphere1->SetBottomArrowHeadRadius(0.2f);

  // The shadows' caster is never drawn: no shadow is cast, and the object draws nothing.
  GLMemoryViewer1->SetName("GLMemoryViewer1");
  GLMemoryViewer1->SetWidth(1);
  GLMemoryViewer1->SetHeight(1);
  ZShadows1 = &Named(AllObjects->CreateChild<TZShadows>(), "ZShadows1");
  ZShadows1->SetCaster(GLMemoryViewer1.get());
  ZShadows1->SetFrustShadow(true);
  ZShadows1->SetSkyShadow(false);
  ZShadows1->SetOptimise(opNone);
  ZShadows1->SetWidth(885);
  ZShadows1->SetHeight(387);
  ZShadows1->SetSoft(false);
  ZShadows1->SetTolerance(0.015f);
  ZShadows1->SetDepthFade(false);

  Sphere12 = &Named(AllObjects->CreateChild<TSphere>(), "Sphere12");
  Sphere12->SetVisible(false);
  Sphere12->Material().FrontProperties().Diffuse().SetColor({1.0f, 0.25f, 0.0f, 1.0f});
  Sphere12->SetRadius(0.5f);

  Actor1 = &Named(AllObjects->CreateChild<TActor>(), "Actor1");
  Actor1->Direction().SetVector(0, 1, 0);
  Actor1->Up().SetVector(1, 0, 0);
  Actor1->SetMaterialLibrary(GLMaterialLibrary1.get());
  Actor1->SetAnimationMode(aamLoop);
  Actor1->SetInterval(100);

  HeightField1 = &Named(AllObjects->CreateChild<THeightField>(), "HeightField1");
  HeightField1->Direction().SetVector(0, 1, 0);
  HeightField1->Up().SetVector(0, 0, 1);
  HeightField1->Scale().SetVector(100, 100, 1);
  TGLFaceProperties& board = HeightField1->Material().FrontProperties();
  SetColour(board.Ambient(), 0.65f, 0.49f, 0.24f);
  SetColour(board.Diffuse(), 0.65f, 0.49f, 0.24f);
  HeightField1->Material().Texture().SetDisabled(false);
  for (TGLSamplingScale* scale : {&HeightField1->XSamplingScale(), &HeightField1->YSamplingScale()}) {
    scale->SetMax(1.0f);
    scale->SetStep(0.01f);
  }
  HeightField1->SetOptions(hfoTextureCoordinates);
  // The board's surface never changes between frames: it is kept in a display list
  // (made again when a scale or the picture changes) rather than sampled every frame.
  HeightField1->SetObjectStyle(HeightField1->ObjectStyle() & ~StyleBit(TGLObjectStyle::DirectDraw));

  GLCamera1 = &Named(GLScene1->Cameras().CreateChild<TGLCamera>(), "GLCamera1");
  GLCamera1->SetDepthOfView(3000);
  GLCamera1->SetFocalLength(90);
  GLCamera1->SetTargetObject(AllObjects);
  GLCamera1->Position().SetPoint(180, 180, 0);
  GLLightSource2 = &Named(GLCamera1->CreateChild<TGLLightSource>(), "GLLightSource2");
  GLLightSource2->Position().SetPoint(-100, 0, -101);
  GLLightSource2->SetConstAttenuation(1.0f);
  GLLightSource2->SetSpotCutOff(180);
  GLLightSource2->SpotDirection().SetVector(1, 0, -1);

  GLCameraShadow = &Named(GLScene1->Cameras().CreateChild<TGLCamera>(), "GLCameraShadow");
  GLCameraShadow->SetDepthOfView(100);
  GLCameraShadow->SetFocalLength(1);
  GLCameraShadow->SetTargetObject(AllObjects);
  GLCameraShadow->Up().SetVector(0, 1, 0);
  GLMemoryViewer1->SetCamera(GLCameraShadow);

  GLMaterialLibrary1->SetName("GLMaterialLibrary1");
  TGLLibMaterial& material = GLMaterialLibrary1->Materials().Add();
  material.SetName("LibMaterial");
  material.Material().Texture().SetImageClassName(TGLBlankImage::StaticClass().ClassName());

  ResetCapturedSlots();
}

TBoardScene::~TBoardScene() {
  // The caster leaves the scene while the scene is still there.
  GLMemoryViewer1.reset();
}

void TBoardScene::AttachViewer(TGLSceneBuffer& buffer) {
  buffer.SetCamera(GLCamera1);
  buffer.SetBackgroundColor(MakeRGB(0, 0, 0));
  ZShadows1->SetViewer(&buffer);
  ZShadows1->SetWidth(885);
  ZShadows1->SetHeight(387);
}

// ---------------------------------------------------------------------------
// Pieces

std::string TBoardScene::PieceModelFile(char letter) const {
  switch (letter) {
    case 'K': case 'k': return KingModel;
    case 'Q': case 'q': return QueenModel;
    case 'R': case 'r': return RookModel;
    case 'B': case 'b': return BishopModel;
    case 'N': case 'n': return KnightModel;
    case 'P': case 'p': return PawnModel;
    default:
      Dialogs().ShowMessage(std::string("err") + letter);
      return std::string();
  }
}

std::unique_ptr<TBoardPiece> TBoardScene::CreatePiece(char letter, int row, int col) {
  auto piece = std::make_unique<TBoardPiece>();
  piece->ModelFile = PieceModelFile(letter);
  auto model = std::make_unique<TFreeForm>(nullptr);
  // Loaded before it joins the scene: a refused model leaves nothing behind.
  TMemoryStream bytes(ModelFileBytes(piece->ModelFile));
  model->LoadFromStream(piece->ModelFile, bytes);
  piece->Letter = letter;
  piece->Row = row;
  piece->Col = col;
  model->SetName("a" + std::to_string(PieceNameCounter++));
  model->SetPitchAngle(90);
  // A texture given to a piece shades with the light instead of replacing it.
  model->Material().Texture().SetTextureMode(tmModulate);
  BRV_ASSERT(model->Visible());
  piece->Obj = &AllObjects->AddChild(std::move(model));
  return piece;
}

const std::string& TBoardScene::ModelFileBytes(const std::string& path) {
  auto known = FModelFiles.find(path);
  if (known != FModelFiles.end()) return known->second;
  // An unknown extension is refused before the file is read, as a load from the file
  // refuses it.
  ModelFormats().FormatForFileName(path);
  TFileStream file(path, TFileMode::OpenRead);
  std::string bytes(std::size_t(file.Size()), '\0');
  file.ReadBuffer(bytes.data(), bytes.size());
  return FModelFiles.emplace(path, std::move(bytes)).first->second;
}

TBoardPiece* TBoardScene::FindUnplacedPiece(char letter) const {
  for (const auto& piece : PieceSlots)
    if (piece && piece->Letter == letter && piece->Row == UNPLACED_ROW) return piece.get();
  return nullptr;
}

bool TBoardScene::PlacePieceOnSquare(char letter, int row, int col) {
  if (letter == '-') return true;
  TBoardPiece* piece = FindUnplacedPiece(letter);
  if (!piece) {
    // More pieces of this kind than the start position has: a model of its own in a
    // free slot, while there is one.
    auto slot = std::find_if(PieceSlots.begin(), PieceSlots.end(), [](const auto& p) { return !p; });
    if (slot == PieceSlots.end() || !FPiecesLoaded) return false;
    try {
      *slot = CreatePiece(letter, UNPLACED_ROW, 0);
    } catch (const std::exception&) {
      // The model loaded at start is gone or spoilt since: the piece is left out.
      return false;
    }
    piece = slot->get();
    PieceModelAdded(*piece);
  }
  MoveModelTo(*piece, row, col);
  piece->Obj->Position().SetY(float(PieceHeight));
  piece->Row = row;
  piece->Col = col;
  SetEmission(*piece, SavedEmission);
  piece->Obj->SetVisible(true);
  return true;
}

TBoardPiece* TBoardScene::PieceAtSquare(int row, int col) const {
  for (const auto& piece : PieceSlots)
    if (piece && piece->Row == row && piece->Col == col) return piece.get();
  return nullptr;
}

TBoardPiece* TBoardScene::PieceOfObject(const TGLBaseSceneObject* object) const {
  if (!object) return nullptr;
  for (const auto& piece : PieceSlots)
    if (piece && piece->Obj && piece->Obj->Name() == object->Name()) return piece.get();
  return nullptr;
}

void TBoardScene::FreeAllPieces() {
  for (auto& piece : PieceSlots) {
    if (!piece) continue;
    if (piece->Obj) AllObjects->Remove(*piece->Obj, false);
    piece.reset();
  }
  FPiecesLoaded = false;
  FreeArtisticBoard();
}

bool TBoardScene::LoadClassicPieces() {
  std::error_code error;
  if (!fs::is_directory(ModelsFolder, error)) {
    Dialogs().ShowMessage(ModelsFolder + MODELS_NOT_FOUND_TEXT);
    return false;
  }
  FreeAllPieces();
  // The files are read anew: they may have changed since the last load.
  FModelFiles.clear();
  KingModel = ModelsFolder + "re.3ds";
  QueenModel = ModelsFolder + "regina.3ds";
  KnightModel = ModelsFolder + "cavallo.3ds";
  PawnModel = ModelsFolder + "pedone.3ds";
  BishopModel = ModelsFolder + "alfiere.3ds";
  RookModel = ModelsFolder + "torre.3ds";
  for (const char* name : MODEL_FILES) {
    if (Readable(ModelsFolder + name)) continue;
    Report3dsNotFound();
    return false;
  }
  SquareSize = 30;
  BoardOriginX = 290;
  BoardOriginZ = -60;
  PieceHeight = -170;
  CameraMinHeight = 15;
  ArtisticBoardX = -1;
  ArtisticBoardY = -160;
  ArtisticBoardZ = -2;
  try {
    CreateStartPieces();
    FPiecesLoaded = true;
  } catch (const std::exception& e) {
    // A model that exists but cannot be read: no half set of pieces.
    FreeAllPieces();
    Dialogs().ShowMessage(e.what());
    return false;
  }
  return true;
}

void TBoardScene::CreateStartPieces() {
  TFenSquares squares;
  TBitBoards board;
  ParseFenPlacement(START_PLACEMENT, board, &squares);
  int slot = 0;
  for (int i = 0; i < 64; ++i) {
    if (squares[i] == EMPTY_SQUARE) continue;
    // Placeholders: the first refresh gives every piece its square.
    PieceSlots[slot++] = CreatePiece(PieceToChar(squares[i]), UNPLACED_ROW, 0);
  }
}

void TBoardScene::ShowPosition() {
  for (auto& piece : PieceSlots) {
    if (!piece) continue;
    piece->Obj->SetVisible(false);
    piece->Row = UNPLACED_ROW;
  }
  ResetCapturedSlots();
  if (!FPiecesLoaded) return;
  std::string leftOut;
  for (int row = 1; row <= 8; ++row)
    for (int col = 1; col <= 8; ++col) {
      char letter = PieceToChar(PieceCodeOnSquare(SquareIndex(col, row)));
      if (!PlacePieceOnSquare(letter, row, col)) leftOut += letter;
    }
  if (!leftOut.empty())
    Dialogs().ShowMessage("The position has more pieces than the board has room for (" +
                          std::to_string(PIECE_SLOT_COUNT) + "); not shown: " + leftOut);
}

void TBoardScene::ShowPromotion(TBoardPiece& pawn) {
  if (pawn.Row < 1 || pawn.Row > 8 || pawn.Col < 1 || pawn.Col > 8) return;
  char letter = PieceToChar(PieceCodeOnSquare(SquareIndex(pawn.Col, pawn.Row)));
  if (letter == pawn.Letter || letter == '-') return;
  const int row = pawn.Row, col = pawn.Col;
  pawn.Obj->SetVisible(false);
  pawn.Row = UNPLACED_ROW;
  if (!PlacePieceOnSquare(letter, row, col))
    Dialogs().ShowMessage(std::string("The board has no model left for the new piece ") + letter);
}

bool TBoardScene::BoardPointAt(const TGLSceneBuffer& buffer, int x, int y, TVector& world) const {
  const TVector ray = buffer.PixelToViewRay({float(x) + 0.5f, float(buffer.Height() - y) - 0.5f, 0});
  const TVector surface = AllObjects->LocalPointToWorld({0, BOARD_SURFACE_Y, 0, 1});
  const TVector up = AllObjects->WorldUp();
  return IntersectRayPlane(buffer.CameraPosition(), ray, surface, up, &world);
}

void TBoardScene::SquareOfBoardPoint(const TVector& world, int& row, int& col) const {
  const TVector local = AllObjects->WorldPointToLocal(world);
  col = int(std::floor((local.x - SquareCentreX(0)) / float(SquareSize) + 0.5f));
  row = int(std::floor((local.z - SquareCentreZ(0)) / float(SquareSize) + 0.5f));
}

void TBoardScene::PlaceModelOnPoint(TBoardPiece& piece, const TVector& world) {
  const TVector local = AllObjects->WorldPointToLocal(world);
  piece.Obj->Position().SetX(local.x + SquareX(0) - SquareCentreX(0));
  piece.Obj->Position().SetZ(local.z + SquareZ(0) - SquareCentreZ(0));
}

void TBoardScene::MoveModelTo(TBoardPiece& piece, int row, int col) {
  piece.Obj->Position().SetZ(SquareZ(row));
  piece.Obj->Position().SetX(SquareX(col));
}

void TBoardScene::ResetCapturedSlots() {
  for (int table = 0; table < 2; ++table)
    for (int i = 0; i < CAPTURED_SLOT_COUNT; ++i) CapturedSlot[table][i] = {table == 0 ? 210 : 230, 200 - 15 * i, false};
}

void TBoardScene::ParkPiece(TBoardPiece& piece) {
  auto& table = CapturedSlot[IsLightLetter(piece.Letter) ? 1 : 0];
  for (TCapturedSlot& slot : table) {
    if (slot.Used) continue;
    slot.Used = true;
    piece.Obj->Position().SetX(float(slot.X));
    piece.Obj->Position().SetZ(float(slot.Z));
    return;
  }
}

void TBoardScene::SetEmission(TBoardPiece& piece, TColorValue color) {
  piece.Obj->Material().FrontProperties().Emission().SetAsWinColor(color);
}

TColorValue TBoardScene::Emission(const TBoardPiece& piece) {
  return piece.Obj->Material().FrontProperties().Emission().AsWinColor();
}

// ---------------------------------------------------------------------------
// Boards

bool TBoardScene::ArtisticBoardFilesPresent() {
  std::error_code error;
  if (!fs::is_directory(ModelsFolder, error)) {
    Dialogs().ShowMessage(ModelsFolder + MODELS_NOT_FOUND_TEXT);
    return false;
  }
  // Only the artistic board's own models fit it.
  const std::pair<const char*, std::uintmax_t> halves[] = {{"scacchierabianco.3ds", 775121},
                                                           {"scacchieranero.3ds", 769213}};
  for (const auto& [name, size] : halves) {
    const std::string path = ModelsFolder + name;
    if (Readable(path) && fs::file_size(path, error) == size && !error) continue;
    Report3dsNotFound();
    return false;
  }
  return true;
}

bool TBoardScene::BuildArtisticBoard() {
  FreeArtisticBoard();
  try {
    const std::pair<TActor**, const char*> halves[] = {{&LightBoardMesh, "scacchierabianco.3ds"},
                                                       {&DarkBoardMesh, "scacchieranero.3ds"}};
    for (auto [half, name] : halves) {
      auto model = std::make_unique<TActor>(nullptr);
      // Loaded before it joins the scene: a refused model leaves nothing behind.
      model->LoadFromFile(ModelsFolder + name);
      // It has no frames and never changes shape: drawn from a list made once.
      model->SetObjectStyle(model->ObjectStyle() & ~StyleBit(TGLObjectStyle::DirectDraw));
      model->SetRollAngle(270);
      model->SetPitchAngle(90);
      model->Position().SetY(float(ArtisticBoardY));
      model->Position().SetX(float(ArtisticBoardX));
      model->Position().SetZ(float(ArtisticBoardZ));
      // A picture given to a half shades with the light, as on the pieces.
      model->Material().Texture().SetTextureMode(tmModulate);
      *half = &AllObjects->AddChild(std::move(model));
    }
  } catch (const std::exception& e) {
    FreeArtisticBoard();
    Dialogs().ShowMessage(e.what());
    return false;
  }
  SetColour(DarkBoardMesh->Material().FrontProperties().Diffuse(), 1, 1, 1);
  SetColour(LightBoardMesh->Material().FrontProperties().Diffuse(), 0, 0, 0);
  return true;
}

void TBoardScene::FreeArtisticBoard() {
  for (TActor** half : {&DarkBoardMesh, &LightBoardMesh}) {
    if (*half) AllObjects->Remove(**half, false);
    *half = nullptr;
  }
}

bool TBoardScene::ShowClassicBoard() {
  sphere1->SetVisible(false);
  HeightField1->SetVisible(true);
  FreeArtisticBoard();
  PlaceClassicBoard();
  return true;
}

void TBoardScene::PlaceClassicBoard() {
  HeightField1->Position().SetZ(-160);
  HeightField1->Position().SetX(145);
  HeightField1->Position().SetY(-25);
  HeightField1->Scale().SetX(330);
  HeightField1->Scale().SetY(330);
}

void TBoardScene::SetClassicBoardPicture(int n) {
  if (n >= 1 && n <= 5) FClassicPicture = AppFolder + "/res/boards/classic" + std::to_string(n) + ".bmp";
  if (!FClassicPicture.empty()) {
    try {
      HeightField1->Material().Texture().Image().LoadFromFile(FClassicPicture);
    } catch (const std::exception& e) {
      Dialogs().ShowMessage(e.what());
    }
  }
  HeightField1->Position().SetX(100);
  HeightField1->Position().SetZ(-115);
  HeightField1->Scale().SetX(240);
  HeightField1->Scale().SetY(240);
}

void TBoardScene::Report3dsNotFound() { Dialogs().ShowMessage(MODEL_FILE_NOT_FOUND_TEXT); }

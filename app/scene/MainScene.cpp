#include "app/scene/MainScene.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/game/maindefine.h"
#include "app/game/utility.h"
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

TBoardScene::TBoardScene(const TProgramFolders& folders)
    : SceneTree(std::make_unique<TGLScene>(nullptr)),
      ShadowCaster(std::make_unique<TGLMemoryViewer>(nullptr)),
      MaterialLibrary(std::make_unique<TGLMaterialLibrary>(nullptr)),
      FFolders(folders) {
  SceneTree->SetName("GLScene1");
  SceneTree->SetObjectsSorting(osNone);

  AllObjects = &Named(SceneTree->Objects().CreateChild<TDummyCube>(), "AllObjects");
  AllObjects->Position().SetPoint(-50, 6, 50);
  AllObjects->Direction().SetVector(0, 0, -1);
  AllObjects->SetCubeSize(1);

  DropMarker = &Named(AllObjects->CreateChild<TArrowLine>(), "sphere1");
  DropMarker->Direction().SetVector(0, -1, 0);
  DropMarker->Up().SetVector(-1, 0, 0);
  DropMarker->Scale().SetVector(12, 12, 30);
  DropMarker->Material().FrontProperties().Diffuse().SetColor({1.0f, 0.25f, 0.0f, 1.0f});
  DropMarker->SetBottomRadius(0.1f);
  DropMarker->SetTopRadius(0.1f);
  DropMarker->SetHeight(1.0f);
  DropMarker->SetTopArrowHeadHeight(0.5f);
  DropMarker->SetTopArrowHeadRadius(0.2f);
  DropMarker->SetBottomArrowHeadHeight(0.5f);
  DropMarker->SetBottomArrowHeadRadius(0.2f);

  // The shadows' caster is never drawn: no shadow is cast, and the object draws nothing.
  ShadowCaster->SetName("GLMemoryViewer1");
  ShadowCaster->SetWidth(1);
  ShadowCaster->SetHeight(1);
  Shadows = &Named(AllObjects->CreateChild<TZShadows>(), "ZShadows1");
  Shadows->SetCaster(ShadowCaster.get());
  Shadows->SetFrustShadow(true);
  Shadows->SetSkyShadow(false);
  Shadows->SetOptimise(opNone);
  Shadows->SetWidth(885);
  Shadows->SetHeight(387);
  Shadows->SetSoft(false);
  Shadows->SetTolerance(0.015f);
  Shadows->SetDepthFade(false);

  // A hidden sphere and an actor without a model: parts of the tree that nothing
  // refers to after this.
  TSphere& sphere = Named(AllObjects->CreateChild<TSphere>(), "Sphere12");
  sphere.SetVisible(false);
  sphere.Material().FrontProperties().Diffuse().SetColor({1.0f, 0.25f, 0.0f, 1.0f});
  sphere.SetRadius(0.5f);

  TActor& actor = Named(AllObjects->CreateChild<TActor>(), "Actor1");
  actor.Direction().SetVector(0, 1, 0);
  actor.Up().SetVector(1, 0, 0);
  actor.SetMaterialLibrary(MaterialLibrary.get());
  actor.SetAnimationMode(aamLoop);
  actor.SetInterval(100);

  ClassicBoard = &Named(AllObjects->CreateChild<THeightField>(), "HeightField1");
  ClassicBoard->Direction().SetVector(0, 1, 0);
  ClassicBoard->Up().SetVector(0, 0, 1);
  ClassicBoard->Scale().SetVector(100, 100, 1);
  TGLFaceProperties& board = ClassicBoard->Material().FrontProperties();
  SetColour(board.Ambient(), 0.65f, 0.49f, 0.24f);
  SetColour(board.Diffuse(), 0.65f, 0.49f, 0.24f);
  ClassicBoard->Material().Texture().SetDisabled(false);
  for (TGLSamplingScale* scale : {&ClassicBoard->XSamplingScale(), &ClassicBoard->YSamplingScale()}) {
    scale->SetMax(1.0f);
    scale->SetStep(0.01f);
  }
  ClassicBoard->SetOptions(hfoTextureCoordinates);
  // The board's surface never changes between frames: it is kept in a display list
  // (made again when a scale or the picture changes) rather than sampled every frame.
  ClassicBoard->SetObjectStyle(ClassicBoard->ObjectStyle() & ~StyleBit(TGLObjectStyle::DirectDraw));

  Camera = &Named(SceneTree->Cameras().CreateChild<TGLCamera>(), "GLCamera1");
  Camera->SetDepthOfView(3000);
  Camera->SetFocalLength(90);
  Camera->SetTargetObject(AllObjects);
  Camera->Position().SetPoint(180, 180, 0);
  CameraLight = &Named(Camera->CreateChild<TGLLightSource>(), "GLLightSource2");
  CameraLight->Position().SetPoint(-100, 0, -101);
  CameraLight->SetConstAttenuation(1.0f);
  CameraLight->SetSpotCutOff(180);
  CameraLight->SpotDirection().SetVector(1, 0, -1);

  ShadowCamera = &Named(SceneTree->Cameras().CreateChild<TGLCamera>(), "GLCameraShadow");
  ShadowCamera->SetDepthOfView(100);
  ShadowCamera->SetFocalLength(1);
  ShadowCamera->SetTargetObject(AllObjects);
  ShadowCamera->Up().SetVector(0, 1, 0);
  ShadowCaster->SetCamera(ShadowCamera);

  MaterialLibrary->SetName("GLMaterialLibrary1");
  TGLLibMaterial& material = MaterialLibrary->Materials().Add();
  material.SetName("LibMaterial");
  material.Material().Texture().SetImageClassName(TGLBlankImage::StaticClass().ClassName());

  ResetCapturedSlots();
}

TBoardScene::~TBoardScene() {
  // The caster leaves the scene while the scene is still there.
  ShadowCaster.reset();
}

void TBoardScene::AttachViewer(TGLSceneBuffer& buffer) {
  buffer.SetCamera(Camera);
  buffer.SetBackgroundColor(MakeRGB(0, 0, 0));
  Shadows->SetViewer(&buffer);
  Shadows->SetWidth(885);
  Shadows->SetHeight(387);
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

std::unique_ptr<TBoardPiece> TBoardScene::CreatePiece(char letter) {
  auto piece = std::make_unique<TBoardPiece>();
  piece->ModelFile = PieceModelFile(letter);
  auto model = std::make_unique<TFreeForm>(nullptr);
  // Loaded before it joins the scene: a refused model leaves nothing behind.
  TMemoryStream bytes(ModelFileBytes(piece->ModelFile));
  model->LoadFromStream(piece->ModelFile, bytes);
  piece->Letter = letter;
  piece->Row = UNPLACED_ROW;
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

bool TBoardScene::PlacePieceOnSquare(char letter, const TSquare& square) {
  if (letter == '-') return true;
  TBoardPiece* piece = FindUnplacedPiece(letter);
  if (!piece) {
    // More pieces of this kind than the start position has: a model of its own in a
    // free slot, while there is one.
    auto slot = std::find_if(PieceSlots.begin(), PieceSlots.end(), [](const auto& p) { return !p; });
    if (slot == PieceSlots.end() || !FPiecesLoaded) return false;
    try {
      *slot = CreatePiece(letter);
    } catch (const std::exception&) {
      // The model loaded at start is gone or spoilt since: the piece is left out.
      return false;
    }
    piece = slot->get();
    PieceModelAdded(*piece);
  }
  MoveModelTo(*piece, square);
  piece->Obj->Position().SetY(float(PieceHeight));
  piece->Row = square.Row;
  piece->Col = square.Col;
  SetEmission(*piece, SavedEmission);
  piece->Obj->SetVisible(true);
  return true;
}

TBoardPiece* TBoardScene::PieceAtSquare(const TSquare& square) const {
  for (const auto& piece : PieceSlots)
    if (piece && piece->Square() == square) return piece.get();
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
  if (!fs::is_directory(FFolders.Models, error)) {
    Dialogs().ShowMessage(FFolders.Models + MODELS_NOT_FOUND_TEXT);
    return false;
  }
  FreeAllPieces();
  // The files are read anew: they may have changed since the last load.
  FModelFiles.clear();
  KingModel = FFolders.Models + "re.3ds";
  QueenModel = FFolders.Models + "regina.3ds";
  KnightModel = FFolders.Models + "cavallo.3ds";
  PawnModel = FFolders.Models + "pedone.3ds";
  BishopModel = FFolders.Models + "alfiere.3ds";
  RookModel = FFolders.Models + "torre.3ds";
  for (const char* name : MODEL_FILES) {
    if (Readable(FFolders.Models + name)) continue;
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
    PieceSlots[slot++] = CreatePiece(PieceToChar(squares[i]));
  }
}

void TBoardScene::ShowPosition(const TBitBoards& position) {
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
      const TSquare square{row, col};
      char letter = PieceToChar(PieceCodeOnSquare(position, square.Index()));
      if (!PlacePieceOnSquare(letter, square)) leftOut += letter;
    }
  if (!leftOut.empty())
    Dialogs().ShowMessage("The position has more pieces than the board has room for (" +
                          std::to_string(PIECE_SLOT_COUNT) + "); not shown: " + leftOut);
}

void TBoardScene::ShowPromotion(TBoardPiece& pawn, const TBitBoards& position) {
  const TSquare square = pawn.Square();
  if (!square.OnBoard()) return;
  char letter = PieceToChar(PieceCodeOnSquare(position, square.Index()));
  if (letter == pawn.Letter || letter == '-') return;
  pawn.Obj->SetVisible(false);
  pawn.Row = UNPLACED_ROW;
  if (!PlacePieceOnSquare(letter, square))
    Dialogs().ShowMessage(std::string("The board has no model left for the new piece ") + letter);
}

bool TBoardScene::BoardPointAt(const TGLSceneBuffer& buffer, int x, int y, TVector& world) const {
  const TVector ray = buffer.PixelToViewRay({float(x) + 0.5f, float(buffer.Height() - y) - 0.5f, 0});
  const TVector surface = AllObjects->LocalPointToWorld({0, BOARD_SURFACE_Y, 0, 1});
  const TVector up = AllObjects->WorldUp();
  return IntersectRayPlane(buffer.CameraPosition(), ray, surface, up, &world);
}

TSquare TBoardScene::SquareOfBoardPoint(const TVector& world) const {
  const TVector local = AllObjects->WorldPointToLocal(world);
  return {int(std::floor((local.z - SquareCentreZ(0)) / float(SquareSize) + 0.5f)),
          int(std::floor((local.x - SquareCentreX(0)) / float(SquareSize) + 0.5f))};
}

void TBoardScene::PlaceModelOnPoint(TBoardPiece& piece, const TVector& world) {
  const TVector local = AllObjects->WorldPointToLocal(world);
  piece.Obj->Position().SetX(local.x + SquareX(0) - SquareCentreX(0));
  piece.Obj->Position().SetZ(local.z + SquareZ(0) - SquareCentreZ(0));
}

void TBoardScene::MoveModelTo(TBoardPiece& piece, const TSquare& square) {
  piece.Obj->Position().SetZ(SquareZ(square.Row));
  piece.Obj->Position().SetX(SquareX(square.Col));
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
  piece.Emission = color;
  ShowEmission(piece);
}

TColorValue TBoardScene::Emission(const TBoardPiece& piece) { return piece.Emission; }

void TBoardScene::ShowEmission(TBoardPiece& piece) {
  TGLFaceProperties& face = piece.Obj->Material().FrontProperties();
  if (piece.Emission != HIGHLIGHT_EMISSION) {
    face.Emission().SetAsWinColor(piece.Emission);
    return;
  }
  const TVector& diffuse = face.Diffuse().Color();
  face.Emission().SetColor({diffuse.x * HIGHLIGHT_LIFT, diffuse.y * HIGHLIGHT_LIFT, diffuse.z * HIGHLIGHT_LIFT, 1});
}

// ---------------------------------------------------------------------------
// Boards

bool TBoardScene::ArtisticBoardFilesPresent() {
  std::error_code error;
  if (!fs::is_directory(FFolders.Models, error)) {
    Dialogs().ShowMessage(FFolders.Models + MODELS_NOT_FOUND_TEXT);
    return false;
  }
  // Only the artistic board's own models fit it.
  const std::pair<const char*, std::uintmax_t> halves[] = {{"scacchierabianco.3ds", 775121},
                                                           {"scacchieranero.3ds", 769213}};
  for (const auto& [name, size] : halves) {
    const std::string path = FFolders.Models + name;
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
      model->LoadFromFile(FFolders.Models + name);
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
  DropMarker->SetVisible(false);
  ClassicBoard->SetVisible(true);
  FreeArtisticBoard();
  PlaceClassicBoard();
  return true;
}

void TBoardScene::PlaceClassicBoard() {
  ClassicBoard->Position().SetZ(-160);
  ClassicBoard->Position().SetX(145);
  ClassicBoard->Position().SetY(-25);
  ClassicBoard->Scale().SetX(330);
  ClassicBoard->Scale().SetY(330);
}

void TBoardScene::SetClassicBoardPicture(int n) {
  if (n >= 1 && n <= 5) FClassicPicture = FFolders.App + "/res/boards/classic" + std::to_string(n) + ".bmp";
  if (!FClassicPicture.empty()) {
    try {
      ClassicBoard->Material().Texture().Image().LoadFromFile(FClassicPicture);
    } catch (const std::exception& e) {
      Dialogs().ShowMessage(e.what());
    }
  }
  ClassicBoard->Position().SetX(100);
  ClassicBoard->Position().SetZ(-115);
  ClassicBoard->Scale().SetX(240);
  ClassicBoard->Scale().SetY(240);
}

void TBoardScene::Report3dsNotFound() { Dialogs().ShowMessage(MODEL_FILE_NOT_FOUND_TEXT); }

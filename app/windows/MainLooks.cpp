// The board window's looks: the tool-bar buttons that give the pieces, the artistic
// board's halves and the background a colour or a picture, and the look files that
// keep them.

#include "app/windows/Main.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QToolBar>

#include "FormSupport.h"
#include "app/game/maindefine.h"
#include "base/GLCrossPlatform.h"
#include "base/Strings.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/texture/GLMaterial.h"
#include "scene/texture/GLTexture.h"

namespace {

constexpr char PIECE_PICTURES[] = "*.jpg;*.bmp";
constexpr char BOARD_PICTURES[] = "*.bmp";
constexpr char LOOK_FILES[] = "*.bvl";
// The longest side the look pictures are read at. A piece or a board half never
// shows more than about a thousand pixels of its picture, even full screen; a
// larger picture would only cost memory and seconds of reading and uploading.
constexpr int LOOK_PICTURE_SIDE = 2048;

// The window as a loaded look's target.
class TWindowLook : public TLookTarget {
public:
  explicit TWindowLook(TFormOpengl& window) : FWindow(window) {}
  void SetClassicBoardPicture(int n) override { FWindow.SetClassicBoardPicture(n); }
  void ApplyPieceColours(int colourA, int colourB) override { FWindow.ApplyPieceColours(colourA, colourB); }
  void ApplyPieceTexture(TSide side, const std::string& path) override { FWindow.ApplyPieceTexture(side, path); }
  void ApplyBackgroundColour(int colour) override { FWindow.ApplyBackgroundColour(colour); }
  void ApplyBoardColour(TSide side, int colour) override { FWindow.ApplyBoardColour(side, colour); }
  void ApplyBoardTexture(TSide side, const std::string& path) override { FWindow.ApplyBoardTexture(side, path); }

private:
  TFormOpengl& FWindow;
};

// The colour on an object, without a picture.
void ShowColour(TGLCustomSceneObject& object, int colour) {
  TGLMaterial& material = object.Material();
  material.FrontProperties().Diffuse().SetAsWinColor(TColorValue(colour));
  material.Texture().SetDisabled(true);
  material.Texture().SetSharedTexture(nullptr);
}

// The picture on an object: the object draws with the picture's one GL texture,
// which it shares with every other object showing the picture. The picture is lit
// as a colour would be: it modulates a white diffuse colour, so the side's former
// colour does not tint it.
void ShowPicture(TGLCustomSceneObject& object, TGLTexture& picture) {
  TGLMaterial& material = object.Material();
  material.FrontProperties().Diffuse().SetAsWinColor(MakeRGB(255, 255, 255));
  material.Texture().SetSharedTexture(&picture);
  material.Texture().SetDisabled(false);
}

// A piece's colour or picture; a highlight on it takes the new look along.
void ShowPieceColour(TBoardPiece& piece, int colour) {
  ShowColour(*piece.Obj, colour);
  TBoardScene::ShowEmission(piece);
}

void ShowPiecePicture(TBoardPiece& piece, TGLTexture& picture) {
  ShowPicture(*piece.Obj, picture);
  TBoardScene::ShowEmission(piece);
}

// The picture an object shows, null for none.
const TGLTexture* PictureShown(const TGLCustomSceneObject* object) {
  if (!object || object->Material().Texture().Disabled()) return nullptr;
  return object->Material().Texture().SharedTexture();
}

// A picture of the textures folder chosen by the user into `path` and shown by
// `apply`; false when the dialog is cancelled or the picture cannot be used (said).
template <typename TApply>
bool ChoosePicture(const std::string& startFolder, const char* filter, std::string& path, TApply apply) {
  path = startFolder + "/res/textures/" + filter;
  if (!Dialogs().OpenFile(filter, path) || path.empty()) return false;
  try {
    apply();
  } catch (const std::exception& failure) {
    Dialogs().ShowMessage("The picture " + path + " cannot be used: " + failure.what());
    return false;
  }
  return true;
}

bool OnSide(const TBoardPiece& piece, TSide side) { return SideOfLetter(piece.Letter) == side; }

}  // namespace

void TFormOpengl::ConnectToolButtons() {
  const std::pair<QAction*, void (TFormOpengl::*)()> handlers[] = {
      {OpenLookButton, &TFormOpengl::OpenLook},
      {SaveLookButton, &TFormOpengl::SaveLook},
      {BackgroundColourButton, &TFormOpengl::ChooseBackgroundColour},
      {LightBoardTextureButton, &TFormOpengl::ChooseLightBoardTexture},
      {DarkBoardTextureButton, &TFormOpengl::ChooseDarkBoardTexture},
      {DarkBoardColourButton, &TFormOpengl::ChooseDarkBoardColour},
      {LightBoardColourButton, &TFormOpengl::ChooseLightBoardColour},
      {LoadPositionButton, &TFormOpengl::LoadPosition},
      {SavePositionButton, &TFormOpengl::SavePosition},
      {NewMatchButton, &TFormOpengl::NewMatch},
  };
  for (auto [button, handler] : handlers)
    connect(button, &QAction::triggered, this, Guarded([this, handler = handler] { (this->*handler)(); }));
  const std::tuple<QAction*, TSide, int> pieceButtons[] = {
      {LightPieceColourButton, TSide::Light, COLOUR_LOOK},
      {DarkPieceColourButton, TSide::Dark, COLOUR_LOOK},
      {LightPieceTextureButton, TSide::Light, TEXTURE_LOOK},
      {DarkPieceTextureButton, TSide::Dark, TEXTURE_LOOK},
  };
  for (auto [button, side, mode] : pieceButtons)
    connect(button, &QAction::triggered, this, Guarded([this, side = side, mode = mode] { ChoosePieceLook(side, mode); }));
}

void TFormOpengl::ChoosePieceLook(TSide side, int mode) {
  const bool light = side == TSide::Light;
  if (mode == COLOUR_LOOK) {
    int colour = light ? Look.LightPieceColour : Look.DarkPieceColour;
    if (!Dialogs().ChooseColour(colour)) return;
    (light ? Look.LightPieceColour : Look.DarkPieceColour) = colour;
    (light ? Look.LightPiecesTextured : Look.DarkPiecesTextured) = false;
    // That side only: the look file's colour keys colour the other side too.
    for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
      if (piece && piece->Obj && OnSide(*piece, side)) ShowPieceColour(*piece, colour);
    FreeUnshownPictures();
    return;
  }
  std::string path;
  if (!ChoosePicture(StartFolder, PIECE_PICTURES, path, [&] { ApplyPieceTexture(side, path); })) return;
  (light ? Look.LightPieceTexture : Look.DarkPieceTexture) = path;
  (light ? Look.LightPiecesTextured : Look.DarkPiecesTextured) = true;
}

void TFormOpengl::ChooseBackgroundColour() {
  int colour = Look.BackgroundColour;
  if (!Dialogs().ChooseColour(colour)) return;
  Look.BackgroundColour = colour;
  ApplyBackgroundColour(colour);
}

namespace {

// The board half's colour chosen by the user.
void ChooseBoardColour(TFormOpengl& window, TSide side) {
  const bool light = side == TSide::Light;
  int colour = light ? window.Look.LightBoardColour : window.Look.DarkBoardColour;
  if (!Dialogs().ChooseColour(colour)) return;
  (light ? window.Look.LightBoardColour : window.Look.DarkBoardColour) = colour;
  (light ? window.Look.LightBoardTextured : window.Look.DarkBoardTextured) = false;
  window.ApplyBoardColour(side, colour);
}

// The board half's picture chosen by the user.
void ChooseBoardTexture(TFormOpengl& window, TSide side) {
  const bool light = side == TSide::Light;
  std::string path;
  if (!ChoosePicture(window.StartFolder, BOARD_PICTURES, path, [&] { window.ApplyBoardTexture(side, path); })) return;
  (light ? window.Look.LightBoardTexture : window.Look.DarkBoardTexture) = path;
  (light ? window.Look.LightBoardTextured : window.Look.DarkBoardTextured) = true;
}

}  // namespace

void TFormOpengl::ChooseLightBoardColour() { ChooseBoardColour(*this, TSide::Light); }

void TFormOpengl::ChooseDarkBoardColour() { ChooseBoardColour(*this, TSide::Dark); }

void TFormOpengl::ChooseLightBoardTexture() { ChooseBoardTexture(*this, TSide::Light); }

void TFormOpengl::ChooseDarkBoardTexture() { ChooseBoardTexture(*this, TSide::Dark); }

void TFormOpengl::SaveLook() {
  std::string path = StartFolder + "/res/conf/" + LOOK_FILES;
  // A cancelled dialog, or no name, saves nothing.
  if (!Dialogs().SaveFile(LOOK_FILES, path) || path.empty()) return;
  SaveLookFile(LookFileName(path));
}

void TFormOpengl::OpenLook() {
  std::string path = StartFolder + "/res/conf/" + LOOK_FILES;
  if (!Dialogs().OpenFile(LOOK_FILES, path)) return;
  ShowBoardOfLook(path);
  LoadLookFile(path);
}

void TFormOpengl::SaveLookFile(const std::string& path) {
  const TLookBoard board = Owner ? Owner->CheckedBoard() : TLookBoard{};
  try {
    ::SaveLookFile(path, Look, board, Folders.App);
  } catch (const std::exception& failure) {
    Dialogs().ShowMessage(failure.what());
  }
}

void TFormOpengl::LoadLookFile(const std::string& path) {
  TWindowLook target(*this);
  ::LoadLookFile(path, Look, target, Folders.App);
  // The artistic board's halves may have gone with their pictures.
  FreeUnshownPictures();
}

void TFormOpengl::LoadStartLook(const std::string& path) {
  // The board the look was saved with is built first, so that the look's board
  // keys find it; a file that is no look gets the artistic board.
  if (!ShowBoardOfLook(path) && LoadArtisticBoard() && Owner) Owner->CheckViewItems(false, 0);
  LoadLookFile(path);
}

void TFormOpengl::ApplyPieceColours(int colourA, int colourB) {
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots) {
    if (!piece || !piece->Obj) continue;
    const int colour = IsLightLetter(piece->Letter) && colourB != NO_COLOUR ? colourB : colourA;
    if (colour != NO_COLOUR) ShowPieceColour(*piece, colour);
  }
  FreeUnshownPictures();
}

void TFormOpengl::ApplyPieceTexture(TSide side, const std::string& path) {
  if (Trimmed(path).empty()) return;
  TGLTexture& picture = LookPicture(path);
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
    if (piece && piece->Obj && OnSide(*piece, side)) ShowPiecePicture(*piece, picture);
  FreeUnshownPictures();
}

void TFormOpengl::PieceModelAdded(TBoardPiece& piece) {
  const bool light = IsLightLetter(piece.Letter);
  const TSide side = SideOfLetter(piece.Letter);
  if (!(light ? Look.LightPiecesTextured : Look.DarkPiecesTextured)) {
    ShowPieceColour(piece, light ? Look.LightPieceColour : Look.DarkPieceColour);
    return;
  }
  // The side's picture, as another piece of the side shows it.
  for (const std::unique_ptr<TBoardPiece>& other : PieceSlots)
    if (other && other.get() != &piece && other->Obj && OnSide(*other, side))
      if (TGLTexture* picture = other->Obj->Material().Texture().SharedTexture()) {
        ShowPiecePicture(piece, *picture);
        return;
      }
}

TGLTexture& TFormOpengl::LookPicture(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code sizeError, timeError;
  const std::uintmax_t size = fs::file_size(path, sizeError);
  const fs::file_time_type time = fs::last_write_time(path, timeError);
  if (!sizeError && !timeError)
    for (const TLookPicture& picture : LookPictures)
      if (picture.Path == path && picture.Size == size && picture.Time == time) return *picture.Texture;
  auto texture = std::make_unique<TGLTexture>(nullptr);
  // A new texture's image is a persistent one: the picture is read into it.
  dynamic_cast<TGLPersistentImage&>(texture->Image()).LoadFromFile(path, LOOK_PICTURE_SIDE);
  LookPictures.push_back({path, size, time, std::move(texture)});
  return *LookPictures.back().Texture;
}

void TFormOpengl::FreeUnshownPictures() {
  std::vector<const TGLTexture*> shown{PictureShown(LightBoardMesh), PictureShown(DarkBoardMesh)};
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
    if (piece) shown.push_back(PictureShown(piece->Obj));
  const std::size_t freed = std::erase_if(LookPictures, [&](const TLookPicture& picture) {
    return std::find(shown.begin(), shown.end(), picture.Texture.get()) == shown.end();
  });
  // A picture's pixels, its upload copy and GLU's mipmaps pass through the heap,
  // which keeps freed memory for the process: tens of megabytes a picture chosen
  // and left, given back here.
  if (freed > 0) ReleaseFreedHeap();
}

void TFormOpengl::ApplyBackgroundColour(int colour) {
  BoardView->Buffer().SetBackgroundColor(TColorValue(colour));
}

void TFormOpengl::ApplyBoardColour(TSide side, int colour) {
  // Without the artistic board the colour is only kept in the look.
  if (TActor* half = side == TSide::Light ? LightBoardMesh : DarkBoardMesh) ShowColour(*half, colour);
  FreeUnshownPictures();
}

void TFormOpengl::ApplyBoardTexture(TSide side, const std::string& path) {
  // Read also without the artistic board: a picture that cannot be used is said.
  TGLTexture& picture = LookPicture(path);
  if (TActor* half = side == TSide::Light ? LightBoardMesh : DarkBoardMesh) ShowPicture(*half, picture);
  FreeUnshownPictures();
}

// The board window's looks: the tool-bar buttons that give the pieces, the artistic
// board's halves and the background a colour or a picture, and the look files that
// keep them.

#include "app/Main.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QToolBar>

#include "FormSupport.h"
#include "app/maindefine.h"
#include "app/uchess.h"
#include "base/Strings.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/texture/GLMaterial.h"
#include "scene/texture/GLTexture.h"

namespace {

constexpr char PIECE_PICTURES[] = "*.jpg;*.bmp";
constexpr char BOARD_PICTURES[] = "*.bmp";
constexpr char LOOK_FILES[] = "*.bvl";

// The window as a loaded look's target.
class TWindowLook : public TLookTarget {
public:
  explicit TWindowLook(TFormOpengl& window) : FWindow(window) {}
  void SetClassicBoardPicture(int n) override { FWindow.SetClassicBoardPicture(n); }
  void ApplyPieceColours(int colourA, int colourB) override { FWindow.ApplyPieceColours(colourA, colourB); }
  void ApplyPieceTexture(int side, const std::string& path) override { FWindow.ApplyPieceTexture(side, path); }
  void ApplyBackgroundColour(int colour) override { FWindow.ApplyBackgroundColour(colour); }
  void ApplyBoardColour(int side, int colour) override { FWindow.ApplyBoardColour(side, colour); }
  void ApplyBoardTexture(int side, const std::string& path) override { FWindow.ApplyBoardTexture(side, path); }

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

bool OnSide(const TBoardPiece& piece, int side) { return IsLightLetter(piece.Letter) == (side == LIGHT_LOOK_SIDE); }

}  // namespace

void TFormOpengl::ConnectToolButtons() {
  const std::pair<QAction*, void (TFormOpengl::*)()> handlers[] = {
      {ToolButton25, &TFormOpengl::ToolButton25Click}, {ToolButton23, &TFormOpengl::ToolButton23Click},
      {ToolButton4, &TFormOpengl::ToolButton4Click},   {ToolButton30, &TFormOpengl::ToolButton30Click},
      {ToolButton31, &TFormOpengl::ToolButton31Click}, {ToolButton35, &TFormOpengl::ToolButton35Click},
      {ToolButton34, &TFormOpengl::ToolButton34Click}, {ToolButton9, &TFormOpengl::ToolButton9Click},
      {ToolButton11, &TFormOpengl::ToolButton11Click}, {ToolButton12, &TFormOpengl::ToolButton12Click},
  };
  for (auto [button, handler] : handlers)
    connect(button, &QAction::triggered, this, Guarded([this, handler = handler] { (this->*handler)(); }));
  const std::tuple<QAction*, int, int> pieceButtons[] = {
      {ToolButton6, LIGHT_LOOK_SIDE, COLOUR_LOOK},
      {ToolButton7, DARK_LOOK_SIDE, COLOUR_LOOK},
      {ToolButton1, LIGHT_LOOK_SIDE, TEXTURE_LOOK},
      {ToolButton2, DARK_LOOK_SIDE, TEXTURE_LOOK},
  };
  for (auto [button, side, mode] : pieceButtons)
    connect(button, &QAction::triggered, this, Guarded([this, side = side, mode = mode] { ChoosePieceLook(side, mode); }));
}

void TFormOpengl::ChoosePieceLook(int side, int mode) {
  const bool light = side == LIGHT_LOOK_SIDE;
  if (mode == COLOUR_LOOK) {
    int colour = light ? Look.LightPieceColour : Look.DarkPieceColour;
    if (!Dialogs().ChooseColour(colour)) return;
    (light ? Look.LightPieceColour : Look.DarkPieceColour) = colour;
    (light ? Look.LightPiecesTextured : Look.DarkPiecesTextured) = false;
    // That side only: the look file's colour keys colour the other side too.
    for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
      if (piece && piece->Obj && OnSide(*piece, side)) ShowColour(*piece->Obj, colour);
    FreeUnshownPictures();
    return;
  }
  std::string path;
  if (!ChoosePicture(StartFolder, PIECE_PICTURES, path, [&] { ApplyPieceTexture(side, path); })) return;
  (light ? Look.LightPieceTexture : Look.DarkPieceTexture) = path;
  (light ? Look.LightPiecesTextured : Look.DarkPiecesTextured) = true;
}

void TFormOpengl::ToolButton4Click() {
  int colour = Look.BackgroundColour;
  if (!Dialogs().ChooseColour(colour)) return;
  Look.BackgroundColour = colour;
  ApplyBackgroundColour(colour);
}

namespace {

// The board half's colour chosen by the user.
void ChooseBoardColour(TFormOpengl& window, int side) {
  const bool light = side == LIGHT_LOOK_SIDE;
  int colour = light ? window.Look.LightBoardColour : window.Look.DarkBoardColour;
  if (!Dialogs().ChooseColour(colour)) return;
  (light ? window.Look.LightBoardColour : window.Look.DarkBoardColour) = colour;
  (light ? window.Look.LightBoardTextured : window.Look.DarkBoardTextured) = false;
  window.ApplyBoardColour(side, colour);
}

// The board half's picture chosen by the user.
void ChooseBoardTexture(TFormOpengl& window, int side) {
  const bool light = side == LIGHT_LOOK_SIDE;
  std::string path;
  if (!ChoosePicture(window.StartFolder, BOARD_PICTURES, path, [&] { window.ApplyBoardTexture(side, path); })) return;
  (light ? window.Look.LightBoardTexture : window.Look.DarkBoardTexture) = path;
  (light ? window.Look.LightBoardTextured : window.Look.DarkBoardTextured) = true;
}

}  // namespace

void TFormOpengl::ToolButton34Click() { ChooseBoardColour(*this, LIGHT_LOOK_SIDE); }

void TFormOpengl::ToolButton35Click() { ChooseBoardColour(*this, DARK_LOOK_SIDE); }

void TFormOpengl::ToolButton30Click() { ChooseBoardTexture(*this, LIGHT_LOOK_SIDE); }

void TFormOpengl::ToolButton31Click() { ChooseBoardTexture(*this, DARK_LOOK_SIDE); }

void TFormOpengl::ToolButton23Click() {
  std::string path = StartFolder + "/res/conf/" + LOOK_FILES;
  // A cancelled dialog, or no name, saves nothing.
  if (!Dialogs().SaveFile(LOOK_FILES, path) || path.empty()) return;
  SaveLookFile(LookFileName(path));
}

void TFormOpengl::ToolButton25Click() {
  std::string path = StartFolder + "/res/conf/" + LOOK_FILES;
  if (!Dialogs().OpenFile(LOOK_FILES, path)) return;
  ShowBoardOfLook(path);
  LoadLookFile(path);
}

void TFormOpengl::SaveLookFile(const std::string& path) {
  TLookBoard board;
  if (MainForm && !MainForm->Artistic1->isChecked()) {
    board.Classic = true;
    for (int n = 1; n <= 5 && board.Picture == 0; ++n)
      if (MainForm->ClassicItems[n - 1]->isChecked()) board.Picture = n;
  }
  try {
    ::SaveLookFile(path, Look, board);
  } catch (const std::exception& failure) {
    Dialogs().ShowMessage(failure.what());
  }
}

void TFormOpengl::LoadLookFile(const std::string& path) {
  TWindowLook target(*this);
  ::LoadLookFile(path, Look, target);
  // The artistic board's halves may have gone with their pictures.
  FreeUnshownPictures();
}

void TFormOpengl::LoadStartLook(const std::string& path) {
  // The board the look was saved with is built first, so that the look's board
  // keys find it; a file that is no look gets the artistic board.
  if (!ShowBoardOfLook(path) && LoadArtisticBoard() && MainForm) MainForm->CheckViewItems(false, 0);
  LoadLookFile(path);
}

void TFormOpengl::ApplyPieceColours(int colourA, int colourB) {
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots) {
    if (!piece || !piece->Obj) continue;
    const int colour = IsLightLetter(piece->Letter) && colourB != NO_COLOUR ? colourB : colourA;
    if (colour != NO_COLOUR) ShowColour(*piece->Obj, colour);
  }
  FreeUnshownPictures();
}

void TFormOpengl::ApplyPieceTexture(int side, const std::string& path) {
  if (Trimmed(path).empty()) return;
  TGLTexture& picture = LookPicture(path);
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
    if (piece && piece->Obj && OnSide(*piece, side)) ShowPicture(*piece->Obj, picture);
  FreeUnshownPictures();
}

void TFormOpengl::PieceModelAdded(TBoardPiece& piece) {
  const bool light = IsLightLetter(piece.Letter);
  const int side = light ? LIGHT_LOOK_SIDE : DARK_LOOK_SIDE;
  if (!(light ? Look.LightPiecesTextured : Look.DarkPiecesTextured)) {
    ShowColour(*piece.Obj, light ? Look.LightPieceColour : Look.DarkPieceColour);
    return;
  }
  // The side's picture, as another piece of the side shows it.
  for (const std::unique_ptr<TBoardPiece>& other : PieceSlots)
    if (other && other.get() != &piece && other->Obj && OnSide(*other, side))
      if (TGLTexture* picture = other->Obj->Material().Texture().SharedTexture()) {
        ShowPicture(*piece.Obj, *picture);
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
  texture->Image().LoadFromFile(path);
  LookPictures.push_back({path, size, time, std::move(texture)});
  return *LookPictures.back().Texture;
}

void TFormOpengl::FreeUnshownPictures() {
  std::vector<const TGLTexture*> shown{PictureShown(LightBoardMesh), PictureShown(DarkBoardMesh)};
  for (const std::unique_ptr<TBoardPiece>& piece : PieceSlots)
    if (piece) shown.push_back(PictureShown(piece->Obj));
  std::erase_if(LookPictures, [&](const TLookPicture& picture) {
    return std::find(shown.begin(), shown.end(), picture.Texture.get()) == shown.end();
  });
}

void TFormOpengl::ApplyBackgroundColour(int colour) {
  GLSceneViewer1->Buffer().SetBackgroundColor(TColorValue(colour));
}

void TFormOpengl::ApplyBoardColour(int side, int colour) {
  // Without the artistic board the colour is only kept in the look.
  if (TActor* half = side == LIGHT_LOOK_SIDE ? LightBoardMesh : DarkBoardMesh) ShowColour(*half, colour);
  FreeUnshownPictures();
}

void TFormOpengl::ApplyBoardTexture(int side, const std::string& path) {
  // Read also without the artistic board: a picture that cannot be used is said.
  TGLTexture& picture = LookPicture(path);
  if (TActor* half = side == LIGHT_LOOK_SIDE ? LightBoardMesh : DarkBoardMesh) ShowPicture(*half, picture);
  FreeUnshownPictures();
}

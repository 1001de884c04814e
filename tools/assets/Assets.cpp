#include "tools/assets/Assets.h"

#include <filesystem>

#include "tools/assets/Board.h"
#include "tools/assets/Looks.h"
#include "tools/assets/Chessmen.h"
#include "tools/assets/Raster.h"
#include "tools/assets/Textures.h"
#include "tools/assets/Toolbar.h"
#include "tools/threeds/Writer3DS.h"

namespace {

class TOutput {
public:
  explicit TOutput(std::string folder) : FFolder(std::move(folder)) {}
  void Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(FFolder) / name;
    std::filesystem::create_directories(path.parent_path());
    SaveBytes(path.string(), bytes);
    FNames.push_back(name);
  }
  std::vector<std::string> Names() const { return FNames; }

private:
  std::string FFolder;
  std::vector<std::string> FNames;
};

}  // namespace

std::vector<std::string> GenerateAssets(const std::string& folder) {
  TOutput out(folder);
  for (const TPieceFile& piece : PIECE_FILES)
    out.Write("res/3ds/" + piece.FileName, Model3DSBytes(PieceModel(piece.Kind)));
  out.Write("res/3ds/scacchierabianco.3ds", PaddedModel3DSBytes(BoardHalfModel(true), LIGHT_BOARD_SIZE));
  out.Write("res/3ds/scacchieranero.3ds", PaddedModel3DSBytes(BoardHalfModel(false), DARK_BOARD_SIZE));
  for (const TTextureFile& texture : TextureFiles())
    out.Write(texture.Name, texture.Format == TTextureFormat::Jpeg ? JpegFileBytes(texture.Image, 92)
                                                                   : BmpFileBytes(texture.Image));
  for (int n = 1; n <= 5; ++n)
    out.Write("res/boards/classic" + std::to_string(n) + ".bmp", BmpFileBytes(ClassicBoardPicture(n)));
  for (const TToolbarImage& image : ToolbarImages()) out.Write(image.Name, PngFileBytes(image.Image));
  for (const TLookFile& look : ShippedLooks()) out.Write(look.Name, LookFileText(look.Look));
  out.Write("license.TXT", LicenceText());
  return out.Names();
}

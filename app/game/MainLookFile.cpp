#include "app/game/MainLookFile.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/Dialogs.h"
#include "base/Streams.h"
#include "base/Strings.h"
#include "platform/FileNames.h"
#include "platform/IniFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr char LOOK_NAME[] = "Brovanel";
constexpr char LOOK_EXTENSION[] = ".bvl";
// What ReadString gives for a missing key: no value can hold a line end.
constexpr char ABSENT[] = "\n";
// type/mod of a classic look saved while no board picture was chosen.
constexpr char NO_PICTURE[] = "classic";
// The classic board's pictures, res/boards/classic1.bmp to classic5.bmp.
constexpr int CLASSIC_PICTURES = 5;

// A picture path as the look file keeps it: relative to the program's folder when
// the picture lies inside it, so that the look goes with the folder when it moves;
// as it is elsewhere.
std::string KeptPicturePath(const std::string& path, const std::string& programFolder) {
  if (programFolder.empty() || !fs::path(path).is_absolute()) return path;
  auto inside = [](const fs::path& picture, const fs::path& folder) {
    const fs::path relative = picture.lexically_relative(folder);
    return relative.empty() || *relative.begin() == ".." || relative == "." ? fs::path() : relative;
  };
  const fs::path picture = fs::path(path).lexically_normal(), folder = fs::path(programFolder).lexically_normal();
  fs::path relative = inside(picture, folder);
  // The same folder reached through a link.
  std::error_code error, folderError;
  if (relative.empty())
    relative = inside(fs::weakly_canonical(picture, error), fs::weakly_canonical(folder, folderError));
  return relative.empty() || error || folderError ? path : relative.generic_string();
}

// The picture file a look file's path names: a relative path is taken from the
// program's folder, and a name missing as written is looked for in any letter case.
std::string PictureFileOfLook(const std::string& text, const std::string& programFolder) {
  std::string file = fs::path(text).is_absolute() ? text : JoinPath(programFolder, text);
  std::error_code error;
  if (!fs::exists(file, error))
    if (std::string found = FindFileIgnoringCase(file); !found.empty()) file = std::move(found);
  return file;
}

// The values of one look file that could not be used.
class TLookProblems {
public:
  void Add(const char* section, const char* key, const std::string& what) {
    FLines.push_back("[" + std::string(section) + "] " + key + ": " + what);
  }
  void Report(const std::string& path) const {
    if (FLines.empty()) return;
    std::string text = "The look file " + path + " holds values that were left out:";
    for (const std::string& line : FLines) text += "\n" + line;
    Dialogs().ShowMessage(text);
  }

private:
  std::vector<std::string> FLines;
};

class TLookReader {
public:
  TLookReader(const TIniFile& ini, TLookProblems& problems, const std::string& programFolder)
      : FIni(ini), FProblems(problems), FProgramFolder(programFolder) {}

  bool Has(const char* section, const char* key) const { return FIni.ReadString(section, key, ABSENT) != ABSENT; }
  std::string Text(const char* section, const char* key) const { return FIni.ReadString(section, key, ""); }

  // A colour key's value; false when it is missing, -1 (none) or not a colour.
  bool Colour(const char* section, const char* key, int& colour) const {
    if (!Has(section, key)) return false;
    const std::string text = Text(section, key);
    int value = 0;
    if (!TryTextToInt(text, value) || value < NO_COLOUR || value > MAX_COLOUR) {
      FProblems.Add(section, key,
                    "expected a colour from 0 to " + std::to_string(MAX_COLOUR) + " or -1, found \"" + text + "\"");
      return false;
    }
    if (value == NO_COLOUR) return false;
    colour = value;
    return true;
  }

  // A picture key's value, applied by `apply`; false when it is missing or empty,
  // or when the picture is missing or cannot be read (then nothing changed).
  template <class F>
  bool Picture(const char* section, const char* key, std::string& path, F apply) const {
    if (!Has(section, key)) return false;
    const std::string text = Text(section, key);
    if (text.empty()) return false;
    const std::string file = PictureFileOfLook(text, FProgramFolder);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
      FProblems.Add(section, key, "expected a picture file, found no file \"" + file + "\"");
      return false;
    }
    try {
      apply(file);
    } catch (const std::exception& failure) {
      FProblems.Add(section, key, "the picture \"" + file + "\" cannot be used: " + failure.what());
      return false;
    }
    path = file;
    return true;
  }

  // type/mod of a classic look, the board picture; false when it is missing, or
  // "classic" (saved while no picture was checked), or not a number from 1 to 5.
  bool BoardPicture(int& n) const {
    if (!Has("type", "mod")) return false;
    const std::string text = Text("type", "mod");
    if (text == NO_PICTURE) return false;
    if (!TryTextToInt(text, n) || n < 1 || n > CLASSIC_PICTURES) {
      FProblems.Add("type", "mod", "expected the number of a board picture (1 to 5), found \"" + text + "\"");
      return false;
    }
    return true;
  }

private:
  const TIniFile& FIni;
  TLookProblems& FProblems;
  const std::string& FProgramFolder;
};

}  // namespace

void SaveLookFile(const std::string& path, const TLookState& look, const TLookBoard& board,
                  const std::string& programFolder) {
  // The ini layer replaces its file at every key: the keys go to a new file beside
  // the old one, which is renamed over the old one only when all of them are there.
  // The stream gives the new file its name and takes it away when anything fails.
  TReplacingFileStream replacing(path);
  TIniFile ini(replacing.FileName());
  ini.WriteString("board", "name", LOOK_NAME);
  ini.WriteString("board", "version", LOOK_NAME);
  ini.WriteString("type", "view", board.Classic ? "classic" : "artistic");
  if (board.Classic) ini.WriteString("type", "mod", board.Picture > 0 ? std::to_string(board.Picture) : NO_PICTURE);
  // Each colour key is written while the side whose colour it holds shows that
  // colour: white/color holds the dark pieces', black/color the light pieces'.
  if (!look.DarkPiecesTextured) ini.WriteInteger("white", "color", look.DarkPieceColour);
  if (look.LightPiecesTextured)
    ini.WriteString("white", "texture", KeptPicturePath(look.LightPieceTexture, programFolder));
  if (!look.LightPiecesTextured) ini.WriteInteger("black", "color", look.LightPieceColour);
  if (look.DarkPiecesTextured)
    ini.WriteString("black", "texture", KeptPicturePath(look.DarkPieceTexture, programFolder));
  ini.WriteInteger("back", "color", look.BackgroundColour);
  if (look.LightBoardTextured)
    ini.WriteString("white", "textureboard", KeptPicturePath(look.LightBoardTexture, programFolder));
  else
    ini.WriteInteger("white", "colorboard", look.LightBoardColour);
  if (look.DarkBoardTextured)
    ini.WriteString("black", "textureboard", KeptPicturePath(look.DarkBoardTexture, programFolder));
  else
    ini.WriteInteger("black", "colorboard", look.DarkBoardColour);
  replacing.Commit();
}

void LoadLookFile(const std::string& path, TLookState& look, TLookTarget& target,
                  const std::string& programFolder) {
  std::error_code error;
  if (!fs::exists(path, error)) return;
  std::unique_ptr<TIniFile> file;
  try {
    file = std::make_unique<TIniFile>(path);
  } catch (const EIniFileException& failure) {
    Dialogs().ShowMessage(failure.what());
    return;
  }
  const TIniFile& ini = *file;
  if (ini.ReadString("board", "name", "-") == "-") {
    Dialogs().ShowMessage(path + " is not a valid file.");
    return;
  }
  TLookProblems problems;
  const TLookReader read(ini, problems, programFolder);
  int n = 0;
  if (read.Text("type", "view") == "classic" && read.BoardPicture(n)) target.SetClassicBoardPicture(n);

  // The fields follow what the pieces show, so that a look saved next keeps it.
  int colour = 0;
  if (read.Colour("white", "color", colour)) {
    // Every piece takes it; black/color gives the light pieces their own.
    target.ApplyPieceColours(colour, NO_COLOUR);
    look.DarkPieceColour = look.LightPieceColour = colour;
    look.DarkPiecesTextured = look.LightPiecesTextured = false;
  }
  if (read.Colour("black", "color", colour)) {
    target.ApplyPieceColours(NO_COLOUR, colour);
    look.LightPieceColour = colour;
    look.LightPiecesTextured = false;
  }
  if (read.Colour("white", "colorboard", colour)) {
    target.ApplyBoardColour(TSide::Light, colour);
    look.LightBoardColour = colour;
    look.LightBoardTextured = false;
  }
  if (read.Colour("black", "colorboard", colour)) {
    target.ApplyBoardColour(TSide::Dark, colour);
    look.DarkBoardColour = colour;
    look.DarkBoardTextured = false;
  }
  if (read.Colour("back", "color", colour)) {
    target.ApplyBackgroundColour(colour);
    look.BackgroundColour = colour;
  }
  // The pictures last, in this order.
  struct TPictureKey {
    const char* Section;
    const char* Key;
    TSide Side;
    bool Board;
    std::string TLookState::*Path;
    bool TLookState::*Textured;
  };
  const TPictureKey pictures[] = {
      {"black", "texture", TSide::Dark, false, &TLookState::DarkPieceTexture, &TLookState::DarkPiecesTextured},
      {"white", "texture", TSide::Light, false, &TLookState::LightPieceTexture, &TLookState::LightPiecesTextured},
      {"white", "textureboard", TSide::Light, true, &TLookState::LightBoardTexture, &TLookState::LightBoardTextured},
      {"black", "textureboard", TSide::Dark, true, &TLookState::DarkBoardTexture, &TLookState::DarkBoardTextured},
  };
  for (const TPictureKey& key : pictures) {
    auto apply = [&](const std::string& picture) {
      if (key.Board)
        target.ApplyBoardTexture(key.Side, picture);
      else
        target.ApplyPieceTexture(key.Side, picture);
    };
    if (read.Picture(key.Section, key.Key, look.*key.Path, apply)) look.*key.Textured = true;
  }
  problems.Report(path);
}

std::optional<TLookBoard> LookFileBoard(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  try {
    TIniFile ini(path);
    if (ini.ReadString("board", "name", "-") == "-") return std::nullopt;
    TLookBoard board;
    board.Classic = ini.ReadString("type", "view", "") == "classic";
    if (board.Classic) board.Picture = ini.ReadInteger("type", "mod", 0);
    if (board.Picture < 1 || board.Picture > 5) board.Picture = 0;
    return board;
  } catch (const EIniFileException&) {
    // LoadLookFile reports it.
    return std::nullopt;
  }
}

std::string LookFileName(const std::string& chosen) {
  const std::string extension = LOOK_EXTENSION;
  if (chosen.size() >= extension.size() && SameText(chosen.substr(chosen.size() - extension.size()), extension))
    return chosen;
  return chosen + extension;
}

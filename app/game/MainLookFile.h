#pragma once
// Looks: the colours and pictures of the light and dark pieces, of the artistic
// board's two halves and of the background, and the look files (".bvl") that keep
// them. A look file is an INI file:
//
//   [board]   name=Brovanel, version=Brovanel   (name marks a look file)
//   [type]    view=artistic | classic, and with classic mod=1..5 (the board picture)
//   [white]   color, texture, colorboard, textureboard
//   [black]   color, texture, colorboard, textureboard
//   [back]    color
//
// Colours are the platform's integers 0x00BBGGRR in decimal; -1 stands for none.
// Picture paths are relative to the program's folder (TProgramFolders::App) for
// pictures inside it, so that a look keeps working when the folder moves, and absolute elsewhere.
// Mind the format's quirk, kept so that every look file reads as it always did: the
// "color" key of section white holds the dark pieces' colour and that of section
// black the light pieces' colour, while the texture keys follow their section's name.
// No Qt here: the board window applies a look through TLookTarget.

#include <optional>
#include <string>

#include "app/game/Side.h"

// No colour: what a colour key reads as when it is missing.
inline constexpr int NO_COLOUR = -1;
// The largest colour, white.
inline constexpr int MAX_COLOUR = 0xFFFFFF;

// The look as the board window shows it. Textured flags are true while that side
// shows its picture, false while it shows its colour. Everything starts at zero: black,
// no picture, no flag.
struct TLookState {
  int DarkPieceColour = 0;
  int LightPieceColour = 0;
  std::string LightPieceTexture{};
  std::string DarkPieceTexture{};
  bool LightPiecesTextured = false;
  bool DarkPiecesTextured = false;
  int LightBoardColour = 0;
  int DarkBoardColour = 0;
  std::string LightBoardTexture{};
  std::string DarkBoardTexture{};
  bool LightBoardTextured = false;
  bool DarkBoardTextured = false;
  int BackgroundColour = 0;
  bool operator==(const TLookState&) const = default;
};

// The board a look is saved with: the artistic one, or the classic one with the
// number (1..5) of its checked picture, 0 when none is checked.
struct TLookBoard {
  bool Classic = false;
  int Picture = 0;
};

// What a loaded look acts on.
class TLookTarget {
public:
  virtual ~TLookTarget() = default;
  virtual void SetClassicBoardPicture(int n) = 0;
  // Uppercase pieces take colourB unless it is NO_COLOUR; every other piece takes
  // colourA unless that is NO_COLOUR. A piece that takes a colour shows no picture.
  virtual void ApplyPieceColours(int colourA, int colourB) = 0;
  // The picture on every piece of the side. Raises when the picture cannot be
  // read, and then changes nothing.
  virtual void ApplyPieceTexture(TSide side, const std::string& path) = 0;
  virtual void ApplyBackgroundColour(int colour) = 0;
  // The artistic board's half of the side; nothing without the artistic board.
  virtual void ApplyBoardColour(TSide side, int colour) = 0;
  // As ApplyPieceTexture, for the artistic board's half of the side.
  virtual void ApplyBoardTexture(TSide side, const std::string& path) = 0;
};

// Writes the look file whole: a new file beside `path`, renamed over it when every
// key is written; pictures inside `programFolder` are kept relative to it. A failure
// raises an exception naming the file and the reason, and leaves the old file as it was.
void SaveLookFile(const std::string& path, const TLookState& look, const TLookBoard& board,
                  const std::string& programFolder);

// Loads a look file into `look` and `target`. A missing file changes nothing and
// shows nothing; a file without board/name, or one that cannot be read, is reported
// and changes nothing. Values that cannot be used (a "mod" that is not 1 to 5, a
// colour out of range, a picture that is missing or unreadable) are left out and
// reported in one message naming the file; the rest of the look applies. A relative
// picture path is taken from `programFolder`; a picture missing as named is looked for
// in any letter case, as Windows finds it. The look and the target get the path of the
// file found.
void LoadLookFile(const std::string& path, TLookState& look, TLookTarget& target, const std::string& programFolder);

// The board a look file asks for: classic when its type/view is "classic", with its
// type/mod as the picture when that is 1 to 5 (else 0); nothing when the file is
// missing, unreadable or no look file.
std::optional<TLookBoard> LookFileBoard(const std::string& path);

// The name a look is saved under: ".bvl" added unless the name ends with it in any
// letter case.
std::string LookFileName(const std::string& chosen);

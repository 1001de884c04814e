#pragma once
// Look files: INI text with the sections board, type, white, black and back, as the
// board window saves them. Colours are the platform's integers 0x00BBGGRR written
// in decimal. Mind the format's quirk: the "color" key of section white holds the
// dark pieces' colour and that of section black the light pieces', while the
// texture keys follow their section's name. Texture paths are relative to the
// program's folder, which the board window makes current at start.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/assets/Raster.h"

struct TLookSide {
  TRgb Colour;
  std::string Texture;  // empty: the colour
};

struct TLook {
  bool Classic = false;
  int Picture = 1;  // 1..5 with a classic board
  TLookSide LightPieces, DarkPieces, LightBoard, DarkBoard;
  TRgb Background;
};

// The colour as the look file stores it.
int ColourInteger(TRgb colour);
TRgb ColourOfInteger(int value);

// The file's text in the order the board window writes it.
std::string LookFileText(const TLook& look);

// An INI file read back: section and key names without regard to case.
class TIniText {
public:
  explicit TIniText(const std::string& text);
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;

private:
  std::map<std::string, std::map<std::string, std::string>> FValues;
};

struct TLookFile {
  std::string Name;  // "conf/classic1.bvl"
  TLook Look;
};
// The looks the program ships: the five classic looks and the artistic one its View
// menu and start-up load, and samples for the look dialogs.
std::vector<TLookFile> ShippedLooks();

// The program's licence, "license.TXT".
std::string LicenceText();

// A look read back as the board window applies it, starting from `start` (what the
// pieces and board halves show before it).
TLook ApplyLookFile(const TIniText& file, TLook start);

#include "tools/assets/Looks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

int ColourInteger(TRgb c) {
  auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return byte(c.R) | byte(c.G) << 8 | byte(c.B) << 16;
}

TRgb ColourOfInteger(int value) { return Rgb255(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

std::string LookFileText(const TLook& look) {
  // Keys grouped by section, as an INI file keeps them; within a section in the
  // order the board window writes them.
  auto colourOrTexture = [](const TLookSide& side, const char* colourKey, const char* textureKey, TRgb colour) {
    return side.Texture.empty() ? std::string(colourKey) + "=" + std::to_string(ColourInteger(colour)) + "\n"
                                : std::string(textureKey) + "=" + side.Texture + "\n";
  };
  // A section's "color" holds the other side's pieces' colour, written while those
  // pieces show it; its "texture" is its own side's picture.
  auto pieces = [](const TLookSide& coloured, const TLookSide& textured) {
    std::string keys;
    if (coloured.Texture.empty()) keys += "color=" + std::to_string(ColourInteger(coloured.Colour)) + "\n";
    if (!textured.Texture.empty()) keys += "texture=" + textured.Texture + "\n";
    return keys;
  };
  std::string text = "[board]\nname=Brovanel\nversion=Brovanel\n\n[type]\n";
  text += look.Classic ? "view=classic\nmod=" + std::to_string(look.Picture) + "\n" : "view=artistic\n";
  text += "\n[white]\n";
  text += pieces(look.DarkPieces, look.LightPieces);
  text += colourOrTexture(look.LightBoard, "colorboard", "textureboard", look.LightBoard.Colour);
  text += "\n[black]\n";
  text += pieces(look.LightPieces, look.DarkPieces);
  text += colourOrTexture(look.DarkBoard, "colorboard", "textureboard", look.DarkBoard.Colour);
  text += "\n[back]\ncolor=" + std::to_string(ColourInteger(look.Background)) + "\n";
  return text;
}

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

TIniText::TIniText(const std::string& text) {
  std::istringstream lines(text);
  std::string line, section;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = Lower(Trim(line.substr(1, line.size() - 2)));
    } else if (const auto equals = line.find('='); equals != std::string::npos) {
      FValues[section].emplace(Lower(Trim(line.substr(0, equals))), Trim(line.substr(equals + 1)));
    }
  }
}

std::optional<std::string> TIniText::Value(const std::string& section, const std::string& key) const {
  const auto s = FValues.find(Lower(section));
  if (s == FValues.end()) return std::nullopt;
  const auto k = s->second.find(Lower(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

TLook ApplyLookFile(const TIniText& file, TLook look) {
  auto number = [&](const char* section, const char* key) -> std::optional<int> {
    const auto text = file.Value(section, key);
    if (!text) return std::nullopt;
    return std::stoi(*text);
  };
  auto colour = [](TLookSide& side, int value) {
    side.Colour = ColourOfInteger(value);
    side.Texture.clear();
  };
  if (file.Value("type", "view") == "classic") {
    look.Classic = true;
    look.Picture = number("type", "mod").value_or(look.Picture);
  }
  if (auto c = number("white", "color")) {
    colour(look.DarkPieces, *c);
    colour(look.LightPieces, *c);
  }
  if (auto c = number("black", "color")) colour(look.LightPieces, *c);
  if (auto c = number("white", "colorboard")) colour(look.LightBoard, *c);
  if (auto c = number("black", "colorboard")) colour(look.DarkBoard, *c);
  if (auto c = number("back", "color")) look.Background = ColourOfInteger(*c);
  if (auto t = file.Value("black", "texture")) look.DarkPieces.Texture = *t;
  if (auto t = file.Value("white", "texture")) look.LightPieces.Texture = *t;
  if (auto t = file.Value("white", "textureboard")) look.LightBoard.Texture = *t;
  if (auto t = file.Value("black", "textureboard")) look.DarkBoard.Texture = *t;
  return look;
}

std::vector<TLookFile> ShippedLooks() {
  // Dark pieces are kept a little above black: the board window lights them with
  // one diffuse light and no highlight, and a black piece would show no shape.
  auto side = [](TRgb colour, std::string texture = "") { return TLookSide{colour, std::move(texture)}; };
  // The artistic board's halves in colour, written with every look as the board
  // window does.
  const TLookSide mapleBoard = side(Rgb255(232, 208, 164)), walnutBoard = side(Rgb255(104, 66, 42));
  auto classic = [&](int picture, TRgb light, TRgb dark, TRgb background) {
    return TLookFile{"conf/classic" + std::to_string(picture) + ".bvl",
                     TLook{true, picture, side(light), side(dark), mapleBoard, walnutBoard, background}};
  };
  return {
      classic(1, Rgb255(238, 222, 190), Rgb255(92, 58, 38), Rgb255(46, 42, 40)),
      classic(2, Rgb255(240, 236, 226), Rgb255(72, 72, 78), Rgb255(40, 46, 58)),
      classic(3, Rgb255(245, 242, 232), Rgb255(58, 58, 62), Rgb255(58, 70, 58)),
      classic(4, Rgb255(250, 248, 242), Rgb255(46, 66, 108), Rgb255(30, 36, 48)),
      classic(5, Rgb255(236, 214, 168), Rgb255(96, 34, 24), Rgb255(36, 30, 28)),
      {"conf/artistic1.bvl",
       TLook{false, 1, side(Rgb255(238, 222, 190)), side(Rgb255(92, 58, 38)), side({}, "res/textures/maple.bmp"),
             side({}, "res/textures/walnut.bmp"), Rgb255(44, 48, 56)}},
      {"res/conf/marble.bvl",
       TLook{false, 1, side(Rgb255(240, 236, 226)), side(Rgb255(72, 72, 78)), side({}, "res/textures/white-marble.bmp"),
             side({}, "res/textures/black-marble.bmp"), Rgb255(38, 44, 56)}},
      {"res/conf/green-marble.bvl",
       TLook{false, 1, side(Rgb255(244, 240, 228)), side(Rgb255(36, 84, 62)), side({}, "res/textures/cream-marble.bmp"),
             side({}, "res/textures/green-marble.bmp"), Rgb255(30, 40, 36)}},
      // The board's halves in colour take the light, so their edges show.
      {"res/conf/wood.bvl",
       TLook{false, 1, side(Rgb255(236, 214, 168)), side(Rgb255(92, 52, 34)), mapleBoard, walnutBoard,
             Rgb255(52, 44, 40)}},
      {"res/conf/tournament.bvl",
       TLook{true, 3, side(Rgb255(250, 250, 246)), side(Rgb255(58, 58, 62)), mapleBoard, walnutBoard,
             Rgb255(70, 76, 84)}},
  };
}

std::string LicenceText() {
  return "MIT License\n"
         "\n"
         "Copyright (c) 2026 The Brovanel developers\n"
         "\n"
         "Permission is hereby granted, free of charge, to any person obtaining a copy\n"
         "of this software and associated documentation files (the \"Software\"), to deal\n"
         "in the Software without restriction, including without limitation the rights\n"
         "to use, copy, modify, merge, publish, distribute, sublicense, and/or sell\n"
         "copies of the Software, and to permit persons to whom the Software is\n"
         "furnished to do so, subject to the following conditions:\n"
         "\n"
         "The above copyright notice and this permission notice shall be included in all\n"
         "copies or substantial portions of the Software.\n"
         "\n"
         "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR\n"
         "IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,\n"
         "FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE\n"
         "AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER\n"
         "LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,\n"
         "OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE\n"
         "SOFTWARE.\n";
}

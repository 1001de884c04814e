#include "base/Strings.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace {

TEST(Strings, TrimmingAndLetterCase) {
  const std::pair<const char*, const char*> trimmed[] = {
      {"", ""}, {" \t\r\n", ""}, {"  256 x 256 ", "256 x 256"}, {"\t/usr/games/engine\r\n", "/usr/games/engine"},
      {"a", "a"}, {"a b", "a b"},
  };
  for (const auto& [text, expected] : trimmed) EXPECT_EQ(Trimmed(text), expected) << text;
  // Letters outside A to Z are left alone, whatever the locale.
  EXPECT_EQ(LowerCase("Width=2 \xC3\x84Z"), "width=2 \xC3\x84z");
  const std::tuple<const char*, const char*, bool> same[] = {
      {"Width", "WIDTH", true}, {"width", "width", true}, {"", "", true},
      {"Width", "Widt", false}, {"Width", "Wideh", false}, {"\xC3\x84", "\xC3\xA4", false},
  };
  for (const auto& [a, b, expected] : same) EXPECT_EQ(SameText(a, b), expected) << a << " / " << b;
}

TEST(Strings, PartsOfPaths) {
  struct TCase {
    const char* Path;
    const char* Name;
    const char* Folder;
    const char* Extension;
  };
  const TCase cases[] = {
      {"/usr/games/engine", "engine", "/usr/games", ""},
      {"/opt/my engines/x/engine", "engine", "/opt/my engines/x", ""},
      {"/engine", "engine", "/", ""},
      {"engine", "engine", "", ""},
      {"res/3ds/re.3ds", "re.3ds", "res/3ds", ".3ds"},
      {"Board.JPEG", "Board.JPEG", "", ".jpeg"},
      {"pictures.d/board", "board", "pictures.d", ""},
      {"a/b.tar.BMP", "b.tar.BMP", "a", ".bmp"},
      {"folder/", "", "folder", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(ExtractFileName(c.Path), c.Name);
    EXPECT_EQ(FolderOfPath(c.Path), c.Folder);
    EXPECT_EQ(LowerCaseFileExtension(c.Path), c.Extension);
  }
  const std::tuple<const char*, const char*, const char*> joined[] = {
      {"models", "cube.3ds", "models/cube.3ds"}, {"models/", "cube.3ds", "models/cube.3ds"},
      {"/", "cube.3ds", "/cube.3ds"}, {"", "cube.3ds", "cube.3ds"},
  };
  for (const auto& [folder, name, expected] : joined) EXPECT_EQ(JoinPath(folder, name), expected) << folder;
}

}  // namespace

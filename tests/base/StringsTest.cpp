#include "base/Strings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/base/PersistenceTestSupport.h"

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

TEST(Strings, NumbersOfTextFilesAreReadWholeAndTheSameInEveryLocale) {
  const std::tuple<const char*, bool, float> floats[] = {
      {"1.5", true, 1.5f},     {"-2", true, -2},        {"+0.25", true, 0.25f}, {".5", true, 0.5f},
      {"1e3", true, 1000},     {"-1.5E-2", true, -0.015f}, {"1,5", false, 0},   {" 1", false, 0},
      {"1 ", false, 0},        {"", false, 0},          {"+", false, 0},        {"+-1", false, 0},
      {"nan", false, 0},       {"inf", false, 0},       {"1e999", false, 0},    {"0x10", false, 0},
  };
  for (const auto& [text, ok, expected] : floats) {
    float value = 7;
    EXPECT_EQ(TryTextToFloat(text, value), ok) << text;
    EXPECT_EQ(value, ok ? expected : 7) << text;
  }
  const std::tuple<const char*, bool, int> ints[] = {
      {"42", true, 42}, {"-7", true, -7}, {"+3", true, 3}, {"2147483648", false, 0}, {"1.0", false, 0}, {"x", false, 0},
  };
  for (const auto& [text, ok, expected] : ints) {
    int value = 7;
    EXPECT_EQ(TryTextToInt(text, value), ok) << text;
    EXPECT_EQ(value, ok ? expected : 7) << text;
  }
  std::size_t position = 0;
  const std::string_view line = "  v 1.5\t-2  3\r\n";
  std::vector<std::string_view> tokens;
  for (std::string_view token; !(token = NextTextToken(line, position)).empty();) tokens.push_back(token);
  EXPECT_EQ(tokens, (std::vector<std::string_view>{"v", "1.5", "-2", "3"}));

  // Under a locale whose decimal separator is a comma, the C library reads "1.5" as
  // 1; the text files still mean 1.5. The locale is made in a scratch folder.
  TScratchFolder folder;
  const std::string make = "localedef -i de_DE -f UTF-8 '" + folder.File("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no locale with a decimal comma can be made here";
  ::setenv("LOCPATH", folder.Path().c_str(), 1);
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  ::unsetenv("LOCPATH");
  if (!comma) GTEST_SKIP() << "the locale made cannot be used";
  const double theirs = std::strtod("1.5", nullptr);
  float ours = 0;
  const bool read = TryTextToFloat("1.5", ours);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(theirs, 1.0);
  EXPECT_TRUE(read);
  EXPECT_EQ(ours, 1.5f);
}


}  // namespace

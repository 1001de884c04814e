#include "platform/IniFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

#include "tests/base/PersistenceTestSupport.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
std::string ReadBytes(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(IniFile, WritesKeepEveryOtherLineAndEndLinesWithCrLf) {
  using TWrite = std::array<const char*, 3>;
  const struct {
    const char* Before;  // nullptr: no file
    std::vector<TWrite> Writes;
    const char* After;
  } cases[] = {
      {nullptr,
       {{"board", "name", "Brovanel"}, {"board", "version", "Brovanel"}, {"type", "view", "classic"}, {"Board", "NAME", "x"}},
       "[board]\r\nNAME=x\r\nversion=Brovanel\r\n[type]\r\nview=classic\r\n"},
      {"; look\n[White]\nColor = 1\ntexture=a.jpg\n\n[back]\ncolor=2", {{"white", "color", "-5"}, {"white", "mod", "3"}},
       "; look\r\n[White]\r\ncolor=-5\r\ntexture=a.jpg\r\nmod=3\r\n\r\n[back]\r\ncolor=2\r\n"},
      {"x=1\r\njunk\r\n[a\r\n[b]\r\n=\r\n", {{"a", "k", "v"}, {"c", "k", ""}},
       "x=1\r\njunk\r\n[a\r\nk=v\r\n[b]\r\n=\r\n[c]\r\nk=\r\n"},
  };
  for (const auto& c : cases) {
    TScratchFolder folder;
    const std::string path = folder.File("look.bvl");
    if (c.Before) WriteBytes(path, c.Before);
    TIniFile ini(path);
    for (const TWrite& w : c.Writes) ini.WriteString(w[0], w[1], w[2]);
    EXPECT_EQ(ReadBytes(path), c.After);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // no temporary left
  }
}

TEST(IniFile, ReadsWithoutRegardToCaseOrLineEndsAndPassesJunkOver) {
  TScratchFolder folder;
  const std::string path = folder.File("a.ini");
  const char text[] = "k=before\n\xff\0 junk\r\n[White]\r\n Color = 255 \r\nbad=12abc\n[ type ]\nmod=+7\n"
                      "[white]\ncolor=1\ntexture=\nbig=2147483648\n[black\nneg=-12\nx\r\r\n";
  WriteBytes(path, std::string(text, sizeof text - 1));
  const TIniFile ini(path);
  const std::array<const char*, 4> cases[] = {
      {"WHITE", "COLOR", "255", "255"}, {"white", "texture", "", "-1"},  {"white", "bad", "12abc", "-1"},
      {"type", "MOD", "+7", "7"},       {"black", "neg", "-12", "-12"},  {"white", "big", "2147483648", "-1"},
      {"", "k", "?", "-1"},             {"black", "x", "?", "-1"},       {"white", "nothing", "?", "-1"},
  };
  for (const auto& [section, key, text, number] : cases) {
    EXPECT_EQ(ini.ReadString(section, key, "?"), text) << section << "/" << key;
    EXPECT_EQ(ini.ReadInteger(section, key, -1), std::stoi(number)) << section << "/" << key;
  }
}

TEST(IniFile, FailedOrRefusedWritesKeepTheOldFile) {
  TScratchFolder folder;
  const std::string path = folder.File("look.bvl"), old = "[back]\r\ncolor=2\r\n";
  WriteBytes(path, old);
  TIniFile ini(path);
  // A write cut short by the file size limit.
  rlimit limit;
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{8, limit.rlim_max};
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_NE(BRV_ERROR_TEXT(EIniFileException, ini.WriteString("back", "color", "7")).find("Cannot write file"),
            std::string::npos);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_THROW(ini.WriteString("white", "texture", "a\nb=c"), EIniFileException);
  EXPECT_THROW(ini.WriteString("white]", "x", "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("white", "a=b", "1"), EIniFileException);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(ini.ReadInteger("back", "color", -1), 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

  // A folder or a file too large is no INI file, and is not taken for an empty one.
  EXPECT_THROW(TIniFile{folder.Path().string()}, EIniFileException);
  std::filesystem::resize_file(path, TIniFile::MAX_FILE_SIZE + 1);
  EXPECT_THROW(TIniFile{path}, EIniFileException);
}

}  // namespace

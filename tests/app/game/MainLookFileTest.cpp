#include "app/game/MainLookFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/IniFiles.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/base/RecordingDialogs.h"

namespace fs = std::filesystem;

namespace {

// The looks of most tests keep their pictures outside any program's folder.
const std::string NO_PROGRAM_FOLDER;

// What a loaded look asked of the window, one line a call.
class TRecordingLook : public TLookTarget {
public:
  void SetClassicBoardPicture(int n) override { Calls.push_back("picture " + std::to_string(n)); }
  void ApplyPieceColours(int a, int b) override {
    Calls.push_back("pieces " + std::to_string(a) + " " + std::to_string(b));
  }
  void ApplyPieceTexture(TSide side, const std::string& path) override { Picture("pieces", side, path); }
  void ApplyBackgroundColour(int colour) override { Calls.push_back("back " + std::to_string(colour)); }
  void ApplyBoardColour(TSide side, int colour) override {
    Calls.push_back(std::string("board ") + SideName(side) + " " + std::to_string(colour));
  }
  void ApplyBoardTexture(TSide side, const std::string& path) override { Picture("board", side, path); }

  std::vector<std::string> Calls;
  // A picture whose name ends so cannot be decoded.
  std::string Broken = "broken.jpg";

private:
  void Picture(const std::string& what, TSide side, const std::string& path) {
    if (path.ends_with(Broken)) throw std::runtime_error("not a JPEG picture");
    Calls.push_back(what + " " + SideName(side) + " " + fs::path(path).filename().string());
  }
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class LookFiles : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* picture : {"oak.jpg", "marble.jpg", "maple.bmp", "walnut.bmp", "broken.jpg"})
      WriteBytes(Path(picture), "picture bytes");
  }
  std::string Path(const std::string& name) const { return Folder.File(name); }
  std::size_t FilesInFolder() const {
    return std::size_t(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()));
  }

  TScratchFolder Folder;
  TRecordingDialogs Recorded;
};

// Saved with exact text, read back with the calls it makes, and saved again with the
// same bytes. The colour keys go with the side whose colour they hold: white/color is
// the dark pieces', written while they show a colour, whatever the light pieces show.
TEST_F(LookFiles, SavedTextReadsBackToTheSameLook) {
  const std::string oak = Path("oak.jpg"), marble = Path("marble.jpg");
  const std::string maple = Path("maple.bmp"), walnut = Path("walnut.bmp");
  struct TCase {
    const char* Name;
    TLookState Look;
    TLookBoard Board;
    std::string Text;
    std::vector<std::string> Calls;
  };
  const std::string head = "[board]\r\nname=Brovanel\r\nversion=Brovanel\r\n[type]\r\n";
  const TCase cases[] = {
      {"artistic, all in colour",
       {.DarkPieceColour = 0x203040, .LightPieceColour = 0xE0F0FF, .LightBoardColour = 0x102030,
        .DarkBoardColour = 0x405060, .BackgroundColour = 0x332211},
       {false, 0},
       head + "view=artistic\r\n[white]\r\ncolor=2109504\r\ncolorboard=1056816\r\n[black]\r\ncolor=14741759\r\n"
              "colorboard=4214880\r\n[back]\r\ncolor=3351057\r\n",
       {"pieces 2109504 -1", "pieces -1 14741759", "board light 1056816", "board dark 4214880", "back 3351057"}},
      {"classic 3, light pieces textured, dark ones in colour",
       {.DarkPieceColour = 0x0000FF, .LightPieceColour = 0x00FF00, .LightPieceTexture = oak,
        .LightPiecesTextured = true, .DarkBoardColour = 7, .LightBoardTexture = maple, .LightBoardTextured = true,
        .BackgroundColour = 0},
       {true, 3},
       head + "view=classic\r\nmod=3\r\n[white]\r\ncolor=255\r\ntexture=" + oak + "\r\ntextureboard=" + maple +
           "\r\n[back]\r\ncolor=0\r\n[black]\r\ncolorboard=7\r\n",
       {"picture 3", "pieces 255 -1", "board dark 7", "back 0", "pieces light oak.jpg", "board light maple.bmp"}},
      {"classic without a checked picture, dark pieces textured, light ones in colour",
       {.DarkPieceColour = 1, .LightPieceColour = 16777215, .DarkPieceTexture = marble, .DarkPiecesTextured = true,
        .DarkBoardTexture = walnut, .DarkBoardTextured = true, .BackgroundColour = 5},
       {true, 0},
       head + "view=classic\r\nmod=classic\r\n[black]\r\ncolor=16777215\r\ntexture=" + marble +
           "\r\ntextureboard=" + walnut + "\r\n[back]\r\ncolor=5\r\n[white]\r\ncolorboard=0\r\n",
       {"pieces -1 16777215", "board light 0", "back 5", "pieces dark marble.jpg", "board dark walnut.bmp"}},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Name);
    const std::string file = Path("look.bvl"), again = Path("again.bvl");
    SaveLookFile(file, test.Look, test.Board, NO_PROGRAM_FOLDER);
    EXPECT_EQ(ReadBytes(file), test.Text);

    TLookState loaded;
    TRecordingLook target;
    LoadLookFile(file, loaded, target, NO_PROGRAM_FOLDER);
    EXPECT_EQ(target.Calls, test.Calls);
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{});
    // What each side shows, colour or picture, comes back and is saved the same.
    SaveLookFile(again, loaded, test.Board, NO_PROGRAM_FOLDER);
    EXPECT_EQ(ReadBytes(again), test.Text);
    fs::remove(file);
    fs::remove(again);
  }
  // No temporary file is left behind.
  EXPECT_EQ(FilesInFolder(), 5u);
}

// Junk in a look file: one message naming the file and each value left out; what is
// sound still applies, and nothing else of the look changes.
TEST_F(LookFiles, JunkIsReportedAndTheRestApplies) {
  const std::string file = Path("junk.bvl");
  const std::string left = "The look file " + file + " holds values that were left out:\n";
  struct TCase {
    std::string Text;
    std::vector<std::string> Calls;
    std::string Message;  // empty: none
  };
  const TCase cases[] = {
      {"[type]\r\nview=classic\r\nmod=1\r\n[white]\r\ncolor=5\r\n", {}, file + " is not a valid file."},
      {"[board]\r\nname=-\r\n[back]\r\ncolor=5\r\n", {}, file + " is not a valid file."},
      {"[board]\nname=B\n[type]\nview=classic\nmod=three\n[white]\ncolor=5\n[back]\ncolor=6\n",
       {"pieces 5 -1", "back 6"},
       left + "[type] mod: expected the number of a board picture (1 to 5), found \"three\""},
      {"[board]\nname=B\n[type]\nview=classic\nmod=6\n[back]\ncolor=6\n", {"back 6"},
       left + "[type] mod: expected the number of a board picture (1 to 5), found \"6\""},
      {"[board]\nname=B\n[type]\nview=classic\nmod=0\n", {},
       left + "[type] mod: expected the number of a board picture (1 to 5), found \"0\""},
      {"[board]\nname=B\n[type]\nview=classic\nmod=5\n", {"picture 5"}, ""},
      {"[board]\nname=B\n[white]\ncolor=16777216\ncolorboard=-2\n[black]\ncolor=0x00FF00\ncolorboard=12\n"
       "[back]\ncolor=\n",
       {"board dark 12"},
       left + "[white] color: expected a colour from 0 to 16777215 or -1, found \"16777216\"\n"
              "[black] color: expected a colour from 0 to 16777215 or -1, found \"0x00FF00\"\n"
              "[white] colorboard: expected a colour from 0 to 16777215 or -1, found \"-2\"\n"
              "[back] color: expected a colour from 0 to 16777215 or -1, found \"\""},
      {"[board]\nname=B\n[white]\ncolor=-1\ntexture=" + Path("missing.jpg") + "\ntextureboard=" + Path("maple.bmp") +
           "\n[black]\ntexture=" + Path("broken.jpg") + "\n",
       {"board light maple.bmp"},
       left + "[black] texture: the picture \"" + Path("broken.jpg") + "\" cannot be used: not a JPEG picture\n" +
           "[white] texture: expected a picture file, found no file \"" + Path("missing.jpg") + "\""},
      {"[board]\nname=B\n[white]\ntexture=\ncolor=text\n\x01\xff garbage line\n", {},
       left + "[white] color: expected a colour from 0 to 16777215 or -1, found \"text\""},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Text);
    WriteBytes(file, test.Text);
    TLookState look{.LightPieceColour = 3, .BackgroundColour = 9}, before = look;
    TRecordingLook target;
    Recorded.Messages.clear();
    LoadLookFile(file, look, target, NO_PROGRAM_FOLDER);
    EXPECT_EQ(target.Calls, test.Calls);
    EXPECT_EQ(Recorded.Messages, test.Message.empty() ? std::vector<std::string>{}
                                                      : std::vector<std::string>{test.Message});
    if (test.Calls.empty()) {
      EXPECT_EQ(look, before);
    }
  }
  // A file that is not there changes nothing and says nothing; one that cannot be
  // read is reported.
  Recorded.Messages.clear();
  TLookState look, before;
  TRecordingLook target;
  LoadLookFile(Path("none.bvl"), look, target, NO_PROGRAM_FOLDER);
  EXPECT_TRUE(Recorded.Messages.empty());
  fs::create_directory(Path("folder.bvl"));
  LoadLookFile(Path("folder.bvl"), look, target, NO_PROGRAM_FOLDER);
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0].rfind("Cannot read file \"" + Path("folder.bvl") + "\". ", 0), 0u);
  EXPECT_EQ(look, before);
  EXPECT_TRUE(target.Calls.empty());
}

// Pictures inside the program's folder are written relative to it, so that a look
// goes with the folder when it moves; pictures elsewhere stay absolute. Relative
// paths are read from the program's folder, whatever the working folder, and names
// written in another letter case find their file.
TEST_F(LookFiles, PicturesInsideTheProgramFolderGoWithIt) {
  const fs::path program = Folder.Path() / "program", moved = Folder.Path() / "moved";
  fs::create_directories(program / "res" / "textures");
  for (const char* picture : {"res/textures/Marble.JPG", "res/textures/walnut.bmp", "res/maple.bmp"})
    WriteBytes(program / picture, "picture bytes");
  const TLookState look{.LightPieceTexture = (program / "res/textures/Marble.JPG").string(),
                        .DarkPieceTexture = Path("oak.jpg"),
                        .LightPiecesTextured = true,
                        .DarkPiecesTextured = true,
                        .LightBoardTexture = (program / "res/textures/../textures/walnut.bmp").string(),
                        .DarkBoardTexture = "res/maple.bmp",
                        .LightBoardTextured = true,
                        .DarkBoardTextured = true};
  const std::string file = Path("look.bvl");
  SaveLookFile(file, look, {}, program.string());
  EXPECT_EQ(ReadBytes(file),
            "[board]\r\nname=Brovanel\r\nversion=Brovanel\r\n[type]\r\nview=artistic\r\n"
            "[white]\r\ntexture=res/textures/Marble.JPG\r\ntextureboard=res/textures/walnut.bmp\r\n"
            "[black]\r\ntexture=" + Path("oak.jpg") + "\r\ntextureboard=res/maple.bmp\r\n[back]\r\ncolor=0\r\n");

  fs::rename(program, moved);
  TLookState loaded;
  TRecordingLook target;
  LoadLookFile(file, loaded, target, moved.string());
  EXPECT_EQ(target.Calls, (std::vector<std::string>{"back 0", "pieces dark oak.jpg", "pieces light Marble.JPG",
                                                    "board light walnut.bmp", "board dark maple.bmp"}));
  EXPECT_EQ(loaded.LightPieceTexture, (moved / "res/textures/Marble.JPG").string());
  EXPECT_EQ(loaded.DarkBoardTexture, (moved / "res/maple.bmp").string());
  EXPECT_TRUE(Recorded.Messages.empty());

  WriteBytes(file, "[board]\nname=B\n[white]\ntexture=RES/Textures/marble.jpg\ntextureboard=" +
                       (moved / "res/Textures/WALNUT.BMP").string() + "\n");
  LoadLookFile(file, loaded, target, moved.string());
  EXPECT_EQ(loaded.LightPieceTexture, (moved / "res/textures/Marble.JPG").string());
  EXPECT_EQ(loaded.LightBoardTexture, (moved / "res/textures/walnut.bmp").string());
  EXPECT_TRUE(Recorded.Messages.empty());
}

// The new look is written beside the old file and renamed over it: a second name of
// the old file keeps its bytes, and a save that fails leaves the old file whole.
TEST_F(LookFiles, SavingReplacesTheFileWholeOrNotAtAll) {
  const std::string file = Path("look.bvl");
  WriteBytes(file, "old look\r\n");
  fs::create_hard_link(file, Path("other name"));
  SaveLookFile(file, {.BackgroundColour = 1}, {}, NO_PROGRAM_FOLDER);
  EXPECT_EQ(ReadBytes(Path("other name")), "old look\r\n");
  EXPECT_NE(ReadBytes(file).find("[back]\r\ncolor=1\r\n"), std::string::npos);
  // A texture path that no INI line can hold fails the save half-way.
  const std::string written = ReadBytes(file);
  TLookState bad{.LightPieceTexture = "two\nlines", .LightPiecesTextured = true};
  EXPECT_THROW(SaveLookFile(file, bad, {}, NO_PROGRAM_FOLDER), EIniFileException);
  EXPECT_EQ(ReadBytes(file), written);
  EXPECT_THROW(SaveLookFile(Path("missing/look.bvl"), {}, {}, NO_PROGRAM_FOLDER), std::exception);
  EXPECT_EQ(FilesInFolder(), 7u);
}

}  // namespace

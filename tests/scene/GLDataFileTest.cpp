#include "scene/GLDataFile.h"

#include "tests/base/PersistenceTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Text data that can fail halfway through a save.
class TTextFile : public TDataFile {
  BRV_DATA_FILE_CLASS(TTextFile, TDataFile)

public:
  explicit TTextFile(TPersistent* owner) : TDataFile(owner) {}
  std::string Text;
  bool FailHalfway = false;

  void LoadFromStream(TStream& stream) override {
    Text.assign(static_cast<std::size_t>(stream.Size()), '\0');
    stream.ReadBuffer(Text.data(), Text.size());
  }
  void SaveToStream(TStream& stream) override {
    stream.WriteBuffer(Text.data(), Text.size() / 2);
    if (FailHalfway) throw EWriteError("disk full");
    stream.WriteBuffer(Text.data() + Text.size() / 2, Text.size() - Text.size() / 2);
  }
};

class TReadOnlyFile : public TDataFile {
  BRV_DATA_FILE_CLASS(TReadOnlyFile, TDataFile)

public:
  explicit TReadOnlyFile(TPersistent* owner) : TDataFile(owner) {}
  void LoadFromStream(TStream&) override {}
};

TEST(GLDataFile, DataFilesRoundTripAndAFailedSaveLeavesTheOldFile) {
  TScratchFolder folder;
  const std::string name = folder.File("pieces.txt");
  TTextFile written(nullptr);
  written.Text = "board and pieces";
  written.SaveToFile(name);
  EXPECT_EQ(written.ResourceName(), "pieces.txt");
  std::unique_ptr<TDataFile> read = written.CreateCopy(&written);
  EXPECT_EQ(std::pair(&read->ClassType(), read->Owner()), std::pair(&TTextFile::StaticClass(), (TPersistent*)&written));
  read->LoadFromFile(name);
  EXPECT_EQ(static_cast<TTextFile&>(*read).Text, "board and pieces");
  EXPECT_THROW(read->LoadFromFile(folder.File("missing.txt")), EFOpenError);

  written.Text = "new pieces";
  written.FailHalfway = true;
  EXPECT_THROW(written.SaveToFile(name), EWriteError);
  TReadOnlyFile readOnly(nullptr);
  EXPECT_EQ(BRV_ERROR_TEXT(EAssertionFailed, readOnly.SaveToFile(name)).substr(0, 38),
            "Export for TReadOnlyFile not available");
  EXPECT_EQ(LoadStringFromFile(name), "board and pieces");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "no temporary file is left";
}

TEST(GLDataFile, WholeFilesMoveIntoAndOutOfStrings) {
  TScratchFolder folder;
  const std::string name = folder.File("text");
  SaveStringToFile(name, std::string("a\0b", 3));
  EXPECT_EQ(LoadStringFromFile(name), std::string("a\0b", 3));
  EXPECT_EQ(SizeOfFile(name), 3);
  SaveStringToFile(name, "");
  EXPECT_TRUE(std::filesystem::exists(name)) << "an empty text is an empty file";
  EXPECT_EQ(SizeOfFile(name), 0);
  EXPECT_EQ(LoadStringFromFile(folder.File("missing")), "");
  EXPECT_EQ(SizeOfFile(folder.File("missing")), 0);
  EXPECT_EQ(SizeOfFile(folder.Path().string()), 0) << "a folder is not a file";
}

}  // namespace

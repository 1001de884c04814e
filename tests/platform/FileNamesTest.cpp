#include "platform/FileNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/base/PersistenceTestSupport.h"

namespace {

namespace fs = std::filesystem;

// Names as Windows tools write them find the file whatever its letter case; the
// name as written always wins, and a folder is never taken for a file.
TEST(FileNames, NamesInAnotherLetterCaseFindTheirFile) {
  TScratchFolder folder;
  for (const char* dir : {"Maps", "maps", "Models/Textures", "Empty"}) fs::create_directories(folder.Path() / dir);
  for (const char* file : {"IMAGE1.jpg", "Maps/wood.JPG", "maps/stone.bmp", "Models/Textures/Grain.Bmp", "b.BMP",
                           "B.bmp", "exact.jpg", "EXACT.jpg"})
    std::ofstream(folder.Path() / file) << "x";
  fs::create_directory(folder.Path() / "Folder.jpg");
  struct TCase {
    std::string Asked, Found;  // relative to the folder; "" for none
  };
  const TCase cases[] = {
      {"IMAGE1.jpg", "IMAGE1.jpg"},
      {"IMAGE1.JPG", "IMAGE1.jpg"},
      {"image1.jpg", "IMAGE1.jpg"},
      // The folders too, each one that holds the rest of the path.
      {"MAPS/WOOD.jpg", "Maps/wood.JPG"},
      {"Maps/Stone.BMP", "maps/stone.bmp"},
      {"models/textures/grain.bmp", "Models/Textures/Grain.Bmp"},
      {"Maps/../IMAGE1.JPG", "Maps/../IMAGE1.jpg"},
      // Several in other cases: the first in byte order; the exact name first of all.
      {"b.bmp", "B.bmp"},
      {"exact.jpg", "exact.jpg"},
      {"Exact.jpg", "EXACT.jpg"},
      {"none.jpg", ""},
      {"folder.jpg", ""},
      {"empty/image1.jpg", ""},
      {"IMAGE1.JPG/", ""},
  };
  for (const TCase& c : cases) {
    const std::string found = FindFileIgnoringCase(folder.File(c.Asked));
    EXPECT_EQ(found, c.Found.empty() ? "" : folder.File(c.Found)) << c.Asked;
  }
  EXPECT_EQ(FindFileIgnoringCase(""), "");
}

}  // namespace

#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using TArgs = std::vector<std::string>;

TEST(CommandLine, SplitsAtBlanksAndKeepsQuotedBlanks) {
  const std::pair<const char*, TArgs> cases[] = {
      {"", {}},
      {"   ", {}},
      {"-depth 3", {"-depth", "3"}},
      {"  -depth\t 3  ", {"-depth", "3"}},
      {"\"my book.bin\" -x", {"my book.bin", "-x"}},
      {"-book=\"a b\"c", {"-book=a bc"}},
      {"\"\" x", {"", "x"}},
      {"\"open", {"open"}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

// The child runs in the program's own folder, yet a relative path that holds a folder
// names the program from where we are, as the user typed it.
TEST(ChildProcess, RelativePathWithAFolderIsTakenFromOurFolder) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("brv child " + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "games");
  const fs::path program = folder / "games" / "tell";
  std::ofstream(program) << "#!/bin/sh\necho \"$(pwd -P) $0\"\n";
  fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  TChildProcess child;
  const bool started = child.Start("games/tell", {}, "games");
  fs::current_path(before);
  ASSERT_TRUE(started) << child.ErrorText();
  std::string output;
  char buffer[256];
  std::size_t count = 0;
  while (child.ReadOutput(buffer, sizeof buffer, count) == TChildProcess::TReadResult::Data) output.append(buffer, count);
  EXPECT_TRUE(child.WaitForExit(std::chrono::seconds(60)));
  EXPECT_EQ(child.ExitText(), "exit code 0");
  const std::string games = fs::canonical(folder / "games").string();
  EXPECT_EQ(output, games + " " + games + "/tell\n");
  fs::remove_all(folder);
}

}  // namespace

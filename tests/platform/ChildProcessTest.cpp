#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

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

}  // namespace

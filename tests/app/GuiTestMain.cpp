// The windows' tests run in one application. Its command line ends with a look file,
// as the program's may: the windows must take it as a look, never as a position.

#include <gtest/gtest.h>

#include <QApplication>

#include <vector>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display; running them does.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  std::vector<char*> arguments(argv, argv + argc);
  char lookFile[] = LOOK_FILE_ARGUMENT;
  arguments.push_back(lookFile);
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  QApplication application(count, arguments.data());
  return RUN_ALL_TESTS();
}

#include "base/GLCrossPlatform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

TEST(GLCrossPlatform, ColourValuesPackRedInTheLowByte) {
  static_assert(MakeRGB(0x12, 0x34, 0xF6) == 0xF63412);
  const TColorValue system = static_cast<TColorValue>(0xFF000005u);  // a system colour, negative
  EXPECT_EQ(RedOf(system), 5);
  EXPECT_EQ(BlueOf(system), 0);
}

TEST(GLCrossPlatform, CounterIsMonotonicNanoseconds) {
  std::int64_t frequency = 0;
  ASSERT_TRUE(ReadPerformanceFrequency(frequency));
  EXPECT_EQ(frequency, 1'000'000'000);
  std::int64_t before = ReadPerformanceCounter();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::int64_t elapsed = ReadPerformanceCounter() - before;
  EXPECT_GE(elapsed, 20'000'000);
}

TEST(GLCrossPlatform, LastSystemErrorCarriesErrno) {
  errno = ENOENT;
  try {
    RaiseLastSystemError();
    FAIL() << "no error raised";
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()).find("System error 2"), std::string::npos);
  }
}

// Records what its owner's variable holds while it is being destroyed.
struct TWatched {
  std::unique_ptr<TWatched>* Owner = nullptr;
  bool* OwnerWasEmpty = nullptr;
  ~TWatched() { *OwnerWasEmpty = *Owner == nullptr; }
};

TEST(GLCrossPlatform, FreeAndClearEmptiesTheVariableFirst) {
  bool ownerWasEmpty = false;
  std::unique_ptr<TWatched> object = std::make_unique<TWatched>();
  object->Owner = &object;
  object->OwnerWasEmpty = &ownerWasEmpty;
  FreeAndClear(object);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(ownerWasEmpty);
  FreeAndClear(object);  // already empty: nothing happens
}

}  // namespace

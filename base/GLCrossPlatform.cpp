#include "base/GLCrossPlatform.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

bool MonotonicClockExists() {
  timespec ts;
  return clock_getres(CLOCK_MONOTONIC, &ts) == 0;
}

std::string SystemErrorText(int errorCode) {
  return "System error " + std::to_string(errorCode) + ": " + std::strerror(errorCode);
}

}  // namespace

std::int64_t ReadPerformanceCounter() {
  timespec ts;
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
  return static_cast<std::int64_t>(ts.tv_sec) * kNanosecondsPerSecond + ts.tv_nsec;
}

bool ReadPerformanceFrequency(std::int64_t& frequency) {
  static const bool exists = MonotonicClockExists();
  frequency = exists ? kNanosecondsPerSecond : 0;
  return exists;
}

ESystemError::ESystemError(int errorCode) : Exception(SystemErrorText(errorCode)), FErrorCode(errorCode) {}

void RaiseLastSystemError() { throw ESystemError(errno); }

void ReleaseFreedHeap() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

#pragma once
// The few operations of the 3D layers that touch the operating system: colour
// values, the high-resolution counter, the last system error, freeing an owned
// object and giving freed heap memory back. The dialogs are behind the interface of
// Dialogs.h, and the screen's depth, which needs the windowing toolkit, is in
// scene/qt/GLQtPlatform.h.

#include <cstdint>
#include <memory>
#include <utility>

#include "base/Exceptions.h"

// The platform's colour integer: red in the low byte, then green, then blue.
using TColorValue = std::int32_t;

constexpr TColorValue MakeRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<TColorValue>(r | (g << 8) | (b << 16));
}
constexpr std::uint8_t RedOf(TColorValue c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(TColorValue c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(TColorValue c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// The current value of the monotonic high-resolution counter, in ticks.
std::int64_t ReadPerformanceCounter();
// Ticks per second of ReadPerformanceCounter; false when the system has no such counter.
bool ReadPerformanceFrequency(std::int64_t& frequency);

// An operating-system call failed; the text names the error.
class ESystemError : public Exception {
public:
  explicit ESystemError(int errorCode);
  int ErrorCode() const { return FErrorCode; }

private:
  int FErrorCode;
};

// Throws ESystemError for the last operating-system error (errno).
[[noreturn]] void RaiseLastSystemError();

// Gives the memory the C library's heap keeps after frees back to the system, where
// the library can (glibc's malloc_trim): glibc keeps what is freed amid its heap for
// the process, and after a large temporary use that is megabytes held for nothing.
// Takes a few milliseconds for a heap of tens of megabytes; call it after such a use,
// not after every free.
void ReleaseFreedHeap();

// Frees the object and leaves the variable empty; the variable is cleared before
// the object's destructor runs, so the destructor never sees itself through it.
template <class T>
void FreeAndClear(std::unique_ptr<T>& object) {
  std::unique_ptr<T> doomed = std::move(object);
  doomed.reset();
}

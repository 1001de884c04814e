#pragma once
// The exception classes shared by every layer, and the assertion failure that a
// broken invariant raises in every build type.

#include <climits>
#include <stdexcept>
#include <string>

// Base of every exception the system raises on its own.
class Exception : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A broken invariant: a caller broke a contract. The text is the message
// (default "Assertion failure") followed by the source unit and line, as in
// "Assertion failure (VectorLists, line 503)".
class EAssertionFailed : public Exception {
public:
  EAssertionFailed(const std::string& message, const std::string& unit, int line);
  const std::string& Message() const { return FMessage; }
  const std::string& Unit() const { return FUnit; }
  int Line() const { return FLine; }

private:
  std::string FMessage;
  std::string FUnit;
  int FLine;
};

// An index or value outside its range (range checking).
class ERangeError : public Exception {
public:
  ERangeError() : Exception("Range check error") {}
  using Exception::Exception;
};

// Integer arithmetic that does not fit its type (overflow checking).
class EIntOverflow : public Exception {
public:
  EIntOverflow() : Exception("Arithmetic overflow") {}
  using Exception::Exception;
};

// A text that does not convert to the value asked for.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// Throws EAssertionFailed for the source file `file` (its base name without
// extension becomes the unit) and `line`. An empty message means "Assertion failure".
[[noreturn]] void AssertionFailure(const std::string& message, const char* file, int line);

// The unit name of a source path: "/x/y/VectorLists.cpp" -> "VectorLists".
std::string UnitNameOfFile(const char* file);

#define BRV_ASSERT(condition)                                      \
  do {                                                             \
    if (!(condition)) ::AssertionFailure(std::string(), __FILE__, __LINE__); \
  } while (false)

#define BRV_ASSERT_MSG(condition, message)                          \
  do {                                                              \
    if (!(condition)) ::AssertionFailure((message), __FILE__, __LINE__); \
  } while (false)

// Checked integer arithmetic: the overflow error instead of undefined behaviour.
inline int CheckedAdd(int a, int b) {
  int r;
  if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}
inline int CheckedSub(int a, int b) {
  int r;
  if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}
inline int CheckedMul(int a, int b) {
  int r;
  if (__builtin_mul_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

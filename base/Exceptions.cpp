#include "base/Exceptions.h"

#include <cstring>

namespace {

std::string AssertionText(const std::string& message, const std::string& unit, int line) {
  return (message.empty() ? std::string("Assertion failure") : message) + " (" + unit + ", line " +
         std::to_string(line) + ")";
}

}  // namespace

EAssertionFailed::EAssertionFailed(const std::string& message, const std::string& unit, int line)
    : Exception(AssertionText(message, unit, line)),
      FMessage(message.empty() ? "Assertion failure" : message),
      FUnit(unit),
      FLine(line) {}

std::string UnitNameOfFile(const char* file) {
  std::string path = file ? file : "";
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

void AssertionFailure(const std::string& message, const char* file, int line) {
  throw EAssertionFailed(message, UnitNameOfFile(file), line);
}

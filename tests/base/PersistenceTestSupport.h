#pragma once
// Helpers of the persistence tests: bytes written as hex text, the start-up
// registrations, and a scratch folder.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "base/PersistentClasses.h"
#include "base/VectorLists.h"

// "02 00 01" -> the three bytes; text in quotes, as in Bytes("06 03 'TAb'"), is taken
// letter by letter.
inline std::string Bytes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
    } else if (text[i] == '\'') {
      std::size_t end = text.find('\'', i + 1);
      out += text.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

// The bytes as "02 00 01", for readable failures.
inline std::string Hex(const std::string& bytes) {
  std::string out;
  char cell[4];
  for (unsigned char c : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", c);
    out += cell;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

#define EXPECT_BYTES(actual, expected) EXPECT_EQ(Hex(actual), Hex(expected))

// The registrations the program makes at start, in unit order.
inline void RegisterBaseClasses() {
  InitializePersistentClasses();
  InitializeVectorLists();
}

// The text of the exception of type E that `statement` raises ("" when none).
#define BRV_ERROR_TEXT(E, statement)  \
  [&]() -> std::string {              \
    try {                             \
      statement;                      \
    } catch (const E& e) {            \
      return e.what();                \
    }                                 \
    return std::string();             \
  }()

// A fresh folder under the system's temporary folder, removed with its contents.
class TScratchFolder {
public:
  TScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brovanel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("Cannot make a scratch folder from " + pattern);
    FPath = pattern;
  }
  ~TScratchFolder() { std::filesystem::remove_all(FPath); }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  std::string File(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Path() const { return FPath; }

private:
  std::filesystem::path FPath;
};

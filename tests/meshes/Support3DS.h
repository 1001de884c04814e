#pragma once
// Helpers of the 3DS tests: loading bytes, comparing values bit for bit, and
// expecting the reader's error.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "meshes/threeds/File3DS.h"
#include "tools/threeds/Writer3DS.h"

// A file read from bytes; the stream lives as long as the file.
struct TLoaded3DS {
  std::unique_ptr<TMemoryStream> Stream;
  std::unique_ptr<TFile3DS> File;
};

inline TLoaded3DS Load3DS(const std::string& bytes) {
  TLoaded3DS loaded{std::make_unique<TMemoryStream>(bytes), std::make_unique<TFile3DS>()};
  loaded.File->LoadFromStream(*loaded.Stream);
  return loaded;
}

template <class T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}
template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Runs `action` and expects E3DSError with that code (and that text, when given).
template <class TAction>
void ExpectError3DS(TAction action, int code, const std::string& text = {}) {
  try {
    action();
    ADD_FAILURE() << "no E3DSError " << code;
  } catch (const E3DSError& e) {
    EXPECT_EQ(e.Code(), code) << e.what();
    if (!text.empty()) {
      EXPECT_EQ(std::string(e.what()), text);
    }
  }
}

// The bytes of a file whose top chunk holds what `body` writes.
template <class TBody>
std::string File3DSBytes(TBody body, std::uint16_t top = CHUNK_FILE_TOP) {
  TChunkWriter3DS w;
  w.Begin(top);
  body(w);
  w.End();
  return w.Data();
}

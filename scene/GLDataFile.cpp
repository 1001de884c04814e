#include "scene/GLDataFile.h"

#include "base/Strings.h"

#include <filesystem>

void TDataFile::LoadFromFile(const std::string& fileName) {
  FResourceName = ExtractFileName(fileName);
  TFileStream stream(fileName, TFileMode::OpenRead);
  LoadFromStream(stream);
}

void TDataFile::SaveToFile(const std::string& fileName) {
  FResourceName = ExtractFileName(fileName);
  TReplacingFileStream stream(fileName);
  SaveToStream(stream);
  stream.Commit();
}

void TDataFile::SaveToStream(TStream&) { AssertionFailure("Export for " + ClassName() + " not available.", __FILE__, __LINE__); }

void SaveStringToFile(const std::string& fileName, const std::string& text) {
  TReplacingFileStream stream(fileName);
  stream.WriteBuffer(text.data(), text.size());
  stream.Commit();
}

std::string LoadStringFromFile(const std::string& fileName) {
  if (!FileExists(fileName)) return std::string();
  TFileStream stream(fileName, TFileMode::OpenRead);
  std::string text(static_cast<std::size_t>(stream.Size()), '\0');
  stream.ReadBuffer(text.data(), text.size());
  return text;
}

bool FileExists(const std::string& fileName) {
  std::error_code error;
  return std::filesystem::is_regular_file(fileName, error);
}

std::int64_t SizeOfFile(const std::string& fileName) {
  std::error_code error;
  if (!FileExists(fileName)) return 0;
  const std::uintmax_t size = std::filesystem::file_size(fileName, error);
  return error ? 0 : static_cast<std::int64_t>(size);
}

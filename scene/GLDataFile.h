#pragma once
// File-backed data objects, the base of every model-file reader, and three helpers
// that move whole files into and out of strings.

#include "base/ClassRegistry.h"
#include "base/Streams.h"

#include <cstdint>
#include <memory>
#include <string>

class TDataFile;

using TDataFileClass = TCreatableClass<TDataFile, TPersistent*>;

#define BRV_DATA_FILE_CLASS(T, Parent) \
  BRV_CLASS_OF_KIND(T, Parent, TDataFileClass, TDataFileClass::ConstructorOf<T>())

class TDataFile : public TPersistent {
  BRV_DATA_FILE_CLASS(TDataFile, TPersistent)

public:
  explicit TDataFile(TPersistent* owner) : FOwner(owner) {}

  TPersistent* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }
  // The file name, without folder, of the last load or save.
  const std::string& ResourceName() const { return FResourceName; }
  void SetResourceName(const std::string& name) { FResourceName = name; }

  // A new, empty instance of the same class owned by `owner`; the data is not copied.
  std::unique_ptr<TDataFile> CreateCopy(TPersistent* owner) const { return ClassType().Create(owner); }

  // Reads the file through LoadFromStream; a file that cannot be opened raises EFOpenError.
  virtual void LoadFromFile(const std::string& fileName);
  // Writes the file through SaveToStream into a new file beside it, which replaces
  // the old one only when the whole save succeeded: a failed save leaves the old
  // file as it was.
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream) = 0;
  // Here an assertion failure "Export for <class> not available."; a class that
  // can write overrides it.
  virtual void SaveToStream(TStream& stream);

private:
  TPersistent* FOwner;
  std::string FResourceName;
};

// Replaces the file's content with the bytes of `text` (an empty text, an empty
// file), as SaveToFile does: the old file stays when the write fails.
void SaveStringToFile(const std::string& fileName, const std::string& text);
// The whole content of an existing file; an empty string when there is no such file.
std::string LoadStringFromFile(const std::string& fileName);
// Whether `fileName` names an existing regular file.
bool FileExists(const std::string& fileName);
// The size in bytes of an existing file, else 0.
std::int64_t SizeOfFile(const std::string& fileName);

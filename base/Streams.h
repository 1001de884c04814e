#pragma once
// Byte streams: the abstract TStream, memory and string streams, file streams, and
// the stream that replaces a file only once it has been written completely.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exceptions.h"

// A stream operation failed.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
// Fewer bytes than needed, or bytes that do not form the value expected.
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
// A file that cannot be created or opened; the text names the file and the reason.
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
public:
  TStream() = default;
  virtual ~TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads up to `count` bytes at the position and moves past them; returns how many
  // were read (fewer only at the end of the stream).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes `count` bytes at the position and moves past them; returns how many were written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Moves the position; returns the new position. A position before the start
  // raises EStreamError; one past the end is allowed (a write there extends).
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() const = 0;
  virtual void SetSize(std::int64_t size) = 0;

  virtual std::int64_t Position() const = 0;
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Beginning); }
  // Bytes from the position to the end, 0 when the position is past the end.
  std::int64_t BytesLeft() const;
  // As Read and Write, but all of `count` or EReadError ("Stream read error") and
  // EWriteError ("Stream write error").
  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
};

// A stream over bytes in memory, which it owns.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
  // New bytes are zero.
  void SetSize(std::int64_t size) override;
  std::int64_t Position() const override { return FPosition; }
  const std::string& Bytes() const { return FData; }

private:
  std::string FData;
  std::int64_t FPosition = 0;
};

// A memory stream whose contents are used as a string of bytes.
class TStringStream : public TMemoryStream {
public:
  explicit TStringStream(std::string bytes = {}) : TMemoryStream(std::move(bytes)) {}
  const std::string& DataString() const { return Bytes(); }
};

enum class TFileMode {
  Create,    // a new, empty file; an existing one is truncated
  OpenRead,  // an existing file, for reading
};

// A stream over an open file, closed when the stream is freed.
class TFileStream : public TStream {
public:
  // Raises EFCreateError or EFOpenError with the file name and the system's reason.
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override;
  void SetSize(std::int64_t size) override;
  std::int64_t Position() const override;
  const std::string& FileName() const { return FFileName; }

protected:
  // Takes over an open descriptor.
  TFileStream(const std::string& fileName, int handle) : FFileName(fileName), FHandle(handle) {}
  int Handle() const { return FHandle; }
  // Closes the file; a failure (data that never reached the disk) raises EWriteError.
  void Close();

private:
  std::string FFileName;
  int FHandle = -1;
};

// Writes a new version of a file beside it under a temporary name; Commit puts it
// in place of the file in one step, so that a reader sees either the old file or
// the complete new one. A stream freed without Commit removes its temporary file
// and leaves the old file as it was.
class TReplacingFileStream : public TFileStream {
public:
  explicit TReplacingFileStream(const std::string& fileName);
  ~TReplacingFileStream() override;
  // Flushes the data to the disk and renames the temporary file over the target.
  void Commit();

private:
  struct TTemporaryFile {
    std::string Name;
    int Handle;
  };
  static TTemporaryFile CreateTemporaryBeside(const std::string& fileName);
  TReplacingFileStream(const std::string& fileName, const TTemporaryFile& temporary);

  std::string FTargetName;
  bool FCommitted = false;
};

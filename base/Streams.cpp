#include "base/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

std::string SystemReason(int error) { return std::system_category().message(error); }

std::int64_t SeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t position, std::int64_t size) {
  std::int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position : size;
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target) || target < 0)
    throw EStreamError("Seek to " + std::to_string(offset) + " from " + std::to_string(base) +
                       " lies before the start of the stream");
  return target;
}

}  // namespace

// ---------------------------------------------------------------------------
// TStream

std::int64_t TStream::BytesLeft() const { return std::max<std::int64_t>(Size() - Position(), 0); }

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

// ---------------------------------------------------------------------------
// TMemoryStream

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  std::uint64_t available = static_cast<std::uint64_t>(BytesLeft());
  std::size_t n = count < available ? count : static_cast<std::size_t>(available);
  if (n == 0) return 0;
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += static_cast<std::int64_t>(n);
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  std::size_t end = static_cast<std::size_t>(FPosition) + count;
  if (end < count || end > FData.max_size()) throw EWriteError("Stream write error");
  if (end > FData.size()) FData.resize(end, '\0');
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = static_cast<std::int64_t>(end);
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition, Size());
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0 || static_cast<std::uint64_t>(size) > FData.max_size())
    throw EStreamError("Invalid stream size " + std::to_string(size));
  FData.resize(static_cast<std::size_t>(size), '\0');
  FPosition = std::min(FPosition, size);
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  // A file opened for reading is never changed under its reader by our own saves:
  // they write a new file and rename it over the old one (TReplacingFileStream).
  if (mode == TFileMode::Create) {
    FHandle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + SystemReason(errno));
  } else {
    FHandle = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (FHandle < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + SystemReason(errno));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(FHandle, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Cannot read file \"" + FFileName + "\". " + SystemReason(errno));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(FHandle, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason(errno));
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t target = SeekTarget(offset, origin, Position(), origin == TSeekOrigin::End ? Size() : 0);
  off_t result = ::lseek(FHandle, static_cast<off_t>(target), SEEK_SET);
  if (result < 0) throw EStreamError("Cannot seek in file \"" + FFileName + "\". " + SystemReason(errno));
  return result;
}

std::int64_t TFileStream::Position() const {
  off_t result = ::lseek(FHandle, 0, SEEK_CUR);
  if (result < 0) throw EStreamError("Cannot seek in file \"" + FFileName + "\". " + SystemReason(errno));
  return result;
}

std::int64_t TFileStream::Size() const {
  struct stat info;
  if (::fstat(FHandle, &info) != 0)
    throw EStreamError("Cannot read the size of file \"" + FFileName + "\". " + SystemReason(errno));
  return info.st_size;
}

void TFileStream::SetSize(std::int64_t size) {
  if (size < 0 || ::ftruncate(FHandle, static_cast<off_t>(size)) != 0)
    throw EWriteError("Cannot set the size of file \"" + FFileName + "\" to " + std::to_string(size));
}

void TFileStream::Close() {
  int handle = FHandle;
  FHandle = -1;
  if (handle >= 0 && ::close(handle) != 0)
    throw EWriteError("Cannot close file \"" + FFileName + "\". " + SystemReason(errno));
}

// ---------------------------------------------------------------------------
// TReplacingFileStream

TReplacingFileStream::TTemporaryFile TReplacingFileStream::CreateTemporaryBeside(const std::string& fileName) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = fileName + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    int handle = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (handle >= 0) {
      // A file that is replaced keeps its permissions.
      struct stat target;
      if (::stat(fileName.c_str(), &target) == 0) ::fchmod(handle, target.st_mode & 07777);
      return {name, handle};
    }
    if (errno != EEXIST) throw EFCreateError("Cannot create file \"" + fileName + "\". " + SystemReason(errno));
  }
  throw EFCreateError("Cannot create file \"" + fileName + "\". No free temporary name beside it");
}

TReplacingFileStream::TReplacingFileStream(const std::string& fileName)
    : TReplacingFileStream(fileName, CreateTemporaryBeside(fileName)) {}

TReplacingFileStream::TReplacingFileStream(const std::string& fileName, const TTemporaryFile& temporary)
    : TFileStream(temporary.Name, temporary.Handle), FTargetName(fileName) {}

TReplacingFileStream::~TReplacingFileStream() {
  if (FCommitted) return;
  if (Handle() >= 0) {
    try {
      Close();
    } catch (...) {
      // The temporary file goes away below; the target was never touched.
    }
  }
  ::unlink(FileName().c_str());
}

void TReplacingFileStream::Commit() {
  BRV_ASSERT(!FCommitted);
  if (::fsync(Handle()) != 0)
    throw EWriteError("Cannot write file \"" + FTargetName + "\". " + SystemReason(errno));
  Close();
  if (::rename(FileName().c_str(), FTargetName.c_str()) != 0)
    throw EWriteError("Cannot replace file \"" + FTargetName + "\". " + SystemReason(errno));
  FCommitted = true;
}

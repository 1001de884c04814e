#include "platform/IniFiles.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r\n\f\v";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

bool SameName(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 'a' - 'A') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The name of a "[section]" line (up to its "]" or the line's end), or false.
bool SectionOfLine(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line[0] != '[') return false;
  name = Trim(line.substr(1, line.find(']') - 1));
  return true;
}

// The key and value of a "key=value" line with a key, or false.
bool KeyOfLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  key = Trim(line.substr(0, equals));
  value = Trim(line.substr(equals + 1));
  return !key.empty();
}

[[noreturn]] void Fail(const std::string& fileName, const std::string& reason) {
  throw EIniFileException("Cannot write file \"" + fileName + "\". " + reason);
}

// Writes the text beside the file under a new name, flushes it to the disk and
// renames it over the file, so that the file is either the old one or the new one
// in full. On a failure the temporary file is removed.
void ReplaceFile(const std::string& fileName, const std::string& text) {
  static std::atomic<unsigned> serial{0};
  std::string temporary;
  int handle = -1;
  for (int attempt = 0; handle < 0 && attempt < 100; ++attempt) {
    temporary = fileName + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    handle = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (handle < 0 && errno != EEXIST) Fail(fileName, std::strerror(errno));
  }
  if (handle < 0) Fail(fileName, "No free temporary name beside it");
  struct stat target;
  if (::stat(fileName.c_str(), &target) == 0) ::fchmod(handle, target.st_mode & 07777);
  std::size_t done = 0;
  int error = 0;
  while (done < text.size() && error == 0) {
    ssize_t n = ::write(handle, text.data() + done, text.size() - done);
    if (n > 0) done += std::size_t(n);
    else if (errno != EINTR) error = errno;
  }
  if (error == 0 && ::fsync(handle) != 0) error = errno;
  if (::close(handle) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), fileName.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    Fail(fileName, std::strerror(error));
  }
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
  auto fail = [this](const std::string& reason) {
    throw EIniFileException("Cannot read file \"" + FFileName + "\". " + reason);
  };
  int handle = ::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) {
    if (errno == ENOENT) return;
    fail(std::strerror(errno));
  }
  std::string text, error;
  char buffer[65536];
  while (error.empty()) {
    ssize_t n = ::read(handle, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) error = std::strerror(errno);
      break;
    }
    if (text.size() + std::size_t(n) > MAX_FILE_SIZE)
      error = "More than " + std::to_string(MAX_FILE_SIZE) + " bytes, too many for an INI file";
    text.append(buffer, std::size_t(n));
  }
  ::close(handle);
  if (!error.empty()) fail(error);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    FLines.emplace_back(line);
    start = end + 1;
  }
}

int TIniFile::FindKey(std::string_view section, std::string_view key, int* sectionEnd) const {
  if (sectionEnd) *sectionEnd = -1;
  bool inSection = false, firstSection = false;
  for (int i = 0; i < int(FLines.size()); ++i) {
    std::string_view name, lineKey, value;
    if (SectionOfLine(FLines[i], name)) {
      inSection = SameName(name, section);
      firstSection = inSection && (!sectionEnd || *sectionEnd < 0);
      if (firstSection && sectionEnd) *sectionEnd = i + 1;
    } else if (inSection && KeyOfLine(FLines[i], lineKey, value) && SameName(lineKey, key)) {
      return i;
    } else if (firstSection && sectionEnd && !Trim(FLines[i]).empty()) {
      *sectionEnd = i + 1;
    }
  }
  return -1;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  int line = FindKey(section, key);
  std::string_view lineKey, value = defaultValue;
  if (line >= 0) KeyOfLine(FLines[line], lineKey, value);
  return std::string(value);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  std::string text = ReadString(section, key, "");
  std::string_view digits = text;
  if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size() && !digits.empty() ? value : defaultValue;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  auto refuse = [this](std::string_view what, std::string_view text) {
    throw EIniFileException("Cannot write file \"" + FFileName + "\". The " + std::string(what) + " \"" +
                            std::string(text) + "\" does not fit on a line of an INI file");
  };
  auto blankAtEnds = [](std::string_view text) { return Trim(text).size() != text.size(); };
  if (section.find_first_of("]\r\n") != std::string_view::npos || blankAtEnds(section)) refuse("section", section);
  if (key.empty() || key[0] == '[' || key.find_first_of("=\r\n") != std::string_view::npos || blankAtEnds(key))
    refuse("key", key);
  if (value.find_first_of("\r\n") != std::string_view::npos || blankAtEnds(value)) refuse("value", value);

  std::vector<std::string> lines = FLines;
  std::string keyLine = std::string(key) + "=" + std::string(value);
  int sectionEnd, line = FindKey(section, key, &sectionEnd);
  if (line >= 0) {
    lines[line] = keyLine;
  } else if (sectionEnd >= 0) {
    lines.insert(lines.begin() + sectionEnd, keyLine);
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(keyLine);
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  ReplaceFile(FFileName, text);
  FLines = std::move(lines);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

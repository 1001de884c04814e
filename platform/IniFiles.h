#pragma once
// INI files: lines "[section]" that open a section, followed by lines "key=value".
// Sections and keys are found without regard to the letter case of A to Z; values
// are kept as the text between the equals sign and the line's end, blanks at
// either end aside. Lines ending in CR LF or LF are both read; written lines end
// in CR LF. Lines of any other shape (comments, junk) are passed over when reading
// and kept when the file is written again, as are all the other keys.
//
//   TIniFile look("res/conf/wood.bvl");
//   int back = look.ReadInteger("back", "color", -1);
//   look.WriteString("white", "texture", "res/textures/marble.jpg");

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A file that cannot be read or written, or a name or value that a line cannot hold;
// the text names the file and the reason.
class EIniFileException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TIniFile {
public:
  // The largest file read: more is no INI file of ours.
  static constexpr std::size_t MAX_FILE_SIZE = 1 << 24;

  // Reads the file; a missing file reads as one without sections. A file that
  // exists but cannot be read raises EIniFileException (writing it again would
  // lose its keys).
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }

  // The value of the first such key in a section of that name; `defaultValue` when
  // there is none.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // The value as a decimal integer ("-12", "+7"); `defaultValue` when the key is
  // missing or its value is no 32-bit integer.
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

  // Gives the key that value, in place when the key exists, else as the last key of
  // the section, which is added at the end of the file when missing; then writes
  // the file at once. The new file is written beside the old one and renamed over
  // it, so a write that fails raises EIniFileException and leaves both the file
  // and this object as they were. A section, key or value that a line cannot hold
  // (line ends, "]" in a section, "=" in a key, blanks at the ends) is refused so.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Writes the value in decimal.
  void WriteInteger(std::string_view section, std::string_view key, int value);

private:
  // The line of the key within a section of that name, or -1; `sectionEnd` is set
  // to the line after the first such section's last non-blank line, or -1 when
  // there is no such section.
  int FindKey(std::string_view section, std::string_view key, int* sectionEnd = nullptr) const;

  std::string FFileName;
  std::vector<std::string> FLines;  // without their line ends
};

#include "ModelText.h"

#include <climits>

#include "base/Strings.h"
#include "meshes/GLVectorFileObjectsMeshes.h"

std::string ReadModelText(TStream& stream, std::string_view format) {
  const std::int64_t size = stream.BytesLeft();
  if (size > INT_MAX)
    throw EInvalidVectorFile(std::string(format) + " file: expected at most " + std::to_string(INT_MAX) +
                             " bytes of text, found " + std::to_string(size));
  std::string text(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(text.data(), text.size());
  return text;
}

std::vector<std::string_view> ModelTextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::vector<std::string> ModelTextFields(std::string_view line) {
  std::vector<std::string> fields;
  auto blank = [](char c) { return c != 0 && static_cast<unsigned char>(c) <= ' '; };
  std::size_t at = 0;
  const std::size_t size = line.size();
  auto skipBlanks = [&] {
    while (at < size && blank(line[at])) ++at;
  };
  skipBlanks();
  while (at < size) {
    std::string field;
    if (line[at] == '"') {
      // To the closing quote; a doubled quote is one quote of the field.
      for (++at; at < size; ++at) {
        if (line[at] != '"') {
          field += line[at];
        } else if (at + 1 < size && line[at + 1] == '"') {
          field += '"';
          ++at;
        } else {
          ++at;
          break;
        }
      }
    } else {
      const std::size_t first = at;
      while (at < size && !blank(line[at]) && line[at] != ',') ++at;
      field.assign(line.substr(first, at - first));
    }
    fields.push_back(std::move(field));
    skipBlanks();
    if (at < size && line[at] == ',') {
      ++at;
      // A comma at the end still ends a field: an empty one follows it.
      if (at == size) fields.emplace_back();
      skipBlanks();
    }
  }
  return fields;
}

float FloatOrZero(std::string_view field) {
  float value = 0;
  return TryTextToFloat(field, value) ? value : 0;
}

std::string QuotedLine(std::string_view line) {
  constexpr std::size_t SHOWN = 60;
  return "\"" + std::string(line.substr(0, SHOWN)) + (line.size() > SHOWN ? "...\"" : "\"");
}

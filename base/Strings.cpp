#include "base/Strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr std::string_view BLANKS = " \t\n\v\f\r";

char LowerCaseLetter(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(BLANKS);
  if (first == std::string_view::npos) return std::string();
  return std::string(text.substr(first, text.find_last_not_of(BLANKS) - first + 1));
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerCaseLetter(c);
  return lower;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerCaseLetter(a[i]) != LowerCaseLetter(b[i])) return false;
  return true;
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderOfPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string LowerCaseFileExtension(std::string_view path) {
  const std::string name = ExtractFileName(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : LowerCase(std::string_view(name).substr(dot));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  return path.append(name);
}

std::string SlashedPath(std::string_view path) {
  std::string slashed(path);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  return slashed;
}

namespace {

// std::from_chars takes no "+"; a second sign after it is still refused.
std::string_view WithoutPlus(std::string_view text) {
  return text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+' ? text.substr(1) : text;
}

template <class T>
bool TryTextToNumber(std::string_view text, T& value) {
  text = WithoutPlus(text);
  T parsed{};
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, parsed);
  if (text.empty() || error != std::errc() || stop != end) return false;
  if constexpr (std::is_floating_point_v<T>)
    if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

}  // namespace

bool TryTextToFloat(std::string_view text, float& value) { return TryTextToNumber(text, value); }

bool TryTextToInt(std::string_view text, int& value) { return TryTextToNumber(text, value); }

std::string_view NextTextToken(std::string_view text, std::size_t& position) {
  const std::size_t first = text.find_first_not_of(BLANKS, std::min(position, text.size()));
  if (first == std::string_view::npos) {
    position = text.size();
    return {};
  }
  const std::size_t last = std::min(text.find_first_of(BLANKS, first), text.size());
  position = last;
  return text.substr(first, last - first);
}

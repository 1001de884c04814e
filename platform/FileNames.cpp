#include "platform/FileNames.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool SameLetters(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// The entries of `folder` whose names equal `name` ignoring case, in byte order.
std::vector<fs::path> CaseVariants(const fs::path& folder, const std::string& name) {
  std::vector<fs::path> found;
  std::error_code error;
  fs::directory_iterator entries(folder.empty() ? fs::path(".") : folder, error);
  for (fs::directory_iterator end; !error && entries != end; entries.increment(error))
    if (SameLetters(entries->path().filename().string(), name)) found.push_back(folder / entries->path().filename());
  std::sort(found.begin(), found.end());
  return found;
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

// The file `parts` names below `folder`: each part as written first, then the
// names of the folder that differ from it only in letter case; empty when none.
fs::path Resolve(const fs::path& folder, std::vector<fs::path>::const_iterator part,
                 std::vector<fs::path>::const_iterator end) {
  const bool last = std::next(part) == end;
  auto found = [&](const fs::path& candidate) {
    if (last) return IsFile(candidate) ? candidate : fs::path();
    return IsFolder(candidate) ? Resolve(candidate, std::next(part), end) : fs::path();
  };
  const fs::path exact = folder / *part;
  if (fs::path file = found(exact); !file.empty()) return file;
  // "." and ".." have no letters to ignore.
  if (*part == "." || *part == "..") return fs::path();
  for (const fs::path& candidate : CaseVariants(folder, part->string()))
    if (candidate != exact)
      if (fs::path file = found(candidate); !file.empty()) return file;
  return fs::path();
}

}  // namespace

std::string FindFileIgnoringCase(const std::string& path) {
  if (path.empty()) return std::string();
  if (IsFile(path)) return path;
  const fs::path whole(path);
  std::vector<fs::path> parts;
  for (const fs::path& part : whole.relative_path()) parts.push_back(part);
  // A path ending in "/" names a folder, never a file.
  if (parts.empty() || parts.back().empty()) return std::string();
  return Resolve(whole.root_path(), parts.begin(), parts.end()).string();
}

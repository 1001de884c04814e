#pragma once
// The text and path helpers every layer shares: trimming, letter case, file names,
// extensions and folders. Letter case is that of ASCII alone, whatever the locale:
// the texts compared are names of files, formats and settings. Paths are split at
// "/" only.

#include <string>
#include <string_view>

// `text` without the blanks (spaces, tabs, line ends, form feeds) at either end.
std::string Trimmed(std::string_view text);
// `text` with the letters A to Z made lower case.
std::string LowerCase(std::string_view text);
// Whether the two texts are equal when A to Z are taken as a to z.
bool SameText(std::string_view a, std::string_view b);

// The name without its folder: "a/b/c.3ds" -> "c.3ds".
std::string ExtractFileName(std::string_view path);
// The folder of a path: "/usr/games/engine" -> "/usr/games"; empty for a bare file
// name, "/" for a file in the root folder.
std::string FolderOfPath(std::string_view path);
// The extension of the file name, with its dot, in lower case: "a/B.JPG" -> ".jpg";
// empty when the name has no dot ("a.d/b" has none).
std::string LowerCaseFileExtension(std::string_view path);
// The path with every backslash made a "/", for paths written where folders are
// separated by backslashes: res\textures\a.jpg -> res/textures/a.jpg.
std::string SlashedPath(std::string_view path);
// `name` in `folder`: "models" and "cube.3ds" -> "models/cube.3ds". The separator is
// not doubled after a folder that ends with one; an empty folder gives `name`.
std::string JoinPath(std::string_view folder, std::string_view name);

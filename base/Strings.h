#pragma once
// The text and path helpers every layer shares: trimming, letter case, file names,
// extensions and folders, and the numbers of text files. Letter case is that of ASCII alone, whatever the locale:
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

// Numbers in text files (model formats), read the same way whatever the locale, so
// that a comma locale does not take "1.5" for 1: an optional sign, digits, a "."
// and an exponent ("-1.5e3", "+2", ".5"). The whole text must be the number: blanks,
// a "," or anything after the number make it false, and so do a float that is not
// finite and an integer outside the int range. `value` is left alone on false.
bool TryTextToFloat(std::string_view text, float& value);
bool TryTextToInt(std::string_view text, int& value);
// The next run of characters that are not blanks, starting at `position`, which
// moves past it; empty at the end of the text.
std::string_view NextTextToken(std::string_view text, std::size_t& position);

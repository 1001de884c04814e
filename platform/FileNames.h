#pragma once
// Files named as Windows finds them. Windows tools write file names in any letter
// case ("IMAGE1.JPG" for the file IMAGE1.jpg) because their file system ignores it;
// ours does not, so a name that is missing as written is matched here against the
// names in its folders, A to Z taken as a to z.
//
//   FindFileIgnoringCase("maps/Wood.JPG")   // "maps/wood.jpg" when that file exists

#include <string>

// The path of an existing regular file that `path` names when letter case is
// ignored: each part of the path that is missing as written is taken from the names
// in its folder (the first such name in byte order when several differ only in
// case). `path` itself when it exists as written; empty when no file matches.
std::string FindFileIgnoringCase(const std::string& path);

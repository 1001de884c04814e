#pragma once
// Everything the program loads from its folder, made by our own code: the piece
// and board models, the classic board pictures, the textures, the tool-bar images,
// the look files and the licence. The same bytes on every run.

#include <string>
#include <vector>

// Writes every file under `folder` (the program's folder), making the
// sub-folders; returns the files' names relative to it, in the order written.
std::vector<std::string> GenerateAssets(const std::string& folder);

#pragma once
// What the BMP and JPEG readers share: the refusal and its texts, the size limits,
// and the formats told apart by their first bytes. Private to the picture unit.

#include "scene/texture/Picture.h"

#include <cstdint>
#include <string>

// Raises EInvalidPicture "Cannot read the picture file NAME: WHAT" ("the picture
// in a stream" for an empty name).
[[noreturn]] void RefusePicture(const std::string& name, const std::string& what);

// Whether a picture of width x height pixels passes the limits. Raises nothing
// and holds no object: the JPEG reader asks it between libjpeg's calls.
bool PictureTooLarge(std::int64_t width, std::int64_t height);
// Refuses a picture beyond the limits, naming the limit it passes.
void CheckPictureSize(const std::string& name, std::int64_t width, std::int64_t height);

// Refuses an empty file, and one that does not start with the signature of
// `format` ("BMP" or "JPEG"): by the format its first bytes show when we know it
// ("it is a PNG file named .jpg"), by those bytes otherwise.
void CheckPictureFormat(const std::string& name, const std::string& bytes, const std::string& format);

// The BMP file of `bitmap`, as TBitmap::SaveToStream writes it.
std::string EncodeBitmapFile(const TBitmap& bitmap);

// What is read, for the messages that refuse a kind of file.
inline constexpr const char* PICTURE_FILES_READ = "BMP files (.bmp) and JPEG files (.jpg, .jpeg) are read";

#pragma once
// What the text model formats (TIN, PLY, SMD) share: the file as lines, a line as
// fields, and numbers read the same way whatever the locale.

#include <string>
#include <string_view>
#include <vector>

#include "base/Streams.h"

// The rest of the stream as text. A text longer than the largest int is refused
// with EInvalidVectorFile naming `format`: every count made from it must fit.
std::string ReadModelText(TStream& stream, std::string_view format);
// The lines of `text`, ended by LF, CR LF or a lone CR, without their ends; views
// into `text`. A last line without an end counts, an empty text has no lines.
std::vector<std::string_view> ModelTextLines(std::string_view text);
// The fields of a line: separated by commas or runs of blanks and control
// characters; a field in double quotes may hold both (a doubled quote stands for
// one). "a, b,,c" gives a, b, an empty field and c; `0 "Bip01 Pelvis" -1` gives 0,
// Bip01 Pelvis and -1.
std::vector<std::string> ModelTextFields(std::string_view line);
// The field as a number; 0 for a field that is not one.
float FloatOrZero(std::string_view field);
// The line in double quotes for an error message, cut after 60 characters.
std::string QuotedLine(std::string_view line);

#pragma once

#include <string>
#include <string_view>

namespace vox {

// Reads a whole file as bytes, without any conversion. False when the file cannot be opened or
// read to its end (a folder, say); `text` then holds nothing useful.
bool ReadTextFile(const std::string& path, std::string& text);

// Takes the next line off `text`: a line ends at a line feed, and one carriage return directly
// before it is dropped, so files written with either line end read alike. The last line needs
// no line feed. False when `text` is used up.
bool NextTextLine(std::string_view& text, std::string_view& line);

}  // namespace vox

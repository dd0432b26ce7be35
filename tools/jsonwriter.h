#pragma once

#include <string>
#include <string_view>

namespace vox::tool {

// A JSON string literal for text of any bytes: quotes, backslashes and control characters are
// escaped; bytes above 0x7F pass through (the side files are 8-bit text without an encoding).
std::string JsonString(std::string_view text);

// The bytes as lowercase hex digits, two per byte.
std::string HexBytes(const uint8_t* data, size_t size);

}  // namespace vox::tool

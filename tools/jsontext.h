#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vox::tool {

// Text of unknown encoding (side files, paths) as UTF-8 that a JSON string can hold: valid UTF-8
// passes through, and every other byte is read as Latin-1, the encoding those 8-bit files were
// most likely written in.
std::string Utf8Text(std::string_view bytes);

// The bytes as lowercase hex digits, two per byte.
std::string HexBytes(const uint8_t* data, size_t size);

}  // namespace vox::tool

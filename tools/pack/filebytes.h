#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vox::pack {

// Reads a whole regular file. False with why (the system's reason) when it cannot be opened or
// read, or is not a regular file; files of 4 GiB or more are refused, since nothing in a
// database can be that large.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& why);

}  // namespace vox::pack

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vox {

// Reads a whole file into out, or returns false with the reason in why (out then empty). Only
// regular files: a FIFO or a device at the name is refused rather than waited for. Nothing in
// a database can reach 4 GiB (table offsets are 32-bit), so such a file is refused before
// anything is allocated for it; a file that shrinks while it is read is refused too.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& why);

}  // namespace vox

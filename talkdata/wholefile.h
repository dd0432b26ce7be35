#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vox {

// Reads a whole file into out, or returns false with the reason in why. Only regular files:
// a FIFO or a device at the name is refused rather than waited for. Table offsets are 32-bit,
// so a file of 4 GiB or more is refused before anything is allocated for it.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& why);

}  // namespace vox

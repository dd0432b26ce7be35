#pragma once

#include <string_view>

namespace vox {

// Reads a number the forgiving way the side files and the Find field have always been read:
// leading white space is skipped, an optional sign is taken, then decimal digits up to the first
// other character. Text without digits gives 0, so nothing is ever rejected. A value beyond the
// 32-bit range saturates at INT_MIN or INT_MAX.
int ParseLenientInt(std::string_view text);

}  // namespace vox

#pragma once

#include <string>

#include "pack/packdescription.h"

namespace vox::pack {

// The description as text that ReadDescription reads back to the same content, with comments
// that explain each section to the person who edits it. Line numbers are not written.
std::string WriteDescription(const PackDescription& description);

// The 16 lower-case hexadecimal digits the description uses for a sample hash.
std::string HashText(uint64_t hash);

}  // namespace vox::pack

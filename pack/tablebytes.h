#pragma once

#include <cstdint>
#include <vector>

#include "pack/packdescription.h"

namespace vox::pack {

// The table files in their regular layout: records (or comm records) back to back from the
// start of the file, then every list in record order without gaps, each record's offset
// pointing at its own list. A table without records is written as one empty record, since the
// workbench cannot load a table file that holds none.
std::vector<uint8_t> FragTableBytes(const PackDescription& description);
std::vector<uint8_t> EvalTableBytes(const PackDescription& description);
std::vector<uint8_t> CommTableBytes(const PackDescription& description);

}  // namespace vox::pack

#pragma once

#include "pack/packdescription.h"
#include "talkdata/bytes.h"

namespace vox::pack {

// Parses a description file from its bytes. Every statement, number and field width is
// checked here: a number that does not fit its field in the database files (a 16-bit voice,
// an 8-bit priority), a fragment, eval or comm out of sequence, a statement given twice or an
// unknown word is refused with the line it stands on. Whether the description holds together
// (references to things that exist) is CheckDescription's work.
bool ReadDescription(ByteSpan text, PackDescription& out, DescriptionError& error);

}  // namespace vox::pack

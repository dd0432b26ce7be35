#pragma once

#include <cstdint>

#include "talkdata/bytes.h"

namespace vox::pack {

// A 64-bit FNV-1a hash of a recording's PCM bytes. It tells pack whether a wave file still
// holds the samples unpack wrote, so that an unchanged recording keeps its coded bytes; it
// guards against edits, not against someone forging a collision.
uint64_t SampleHash(ByteSpan pcm);

}  // namespace vox::pack

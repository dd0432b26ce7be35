#include "pack/samplehash.h"

namespace vox::pack {

uint64_t SampleHash(ByteSpan pcm) {
    constexpr uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
    constexpr uint64_t kPrime = 0x100000001b3ull;
    uint64_t hash = kOffsetBasis;
    for (uint8_t byte : pcm) {
        hash ^= byte;
        hash *= kPrime;
    }
    return hash;
}

}  // namespace vox::pack

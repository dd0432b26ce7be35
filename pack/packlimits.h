#pragma once

#include <cstddef>
#include <cstdint>

namespace vox::pack {

// The database files store every cross-reference in 16 bits: a voxIndex and a fragment number
// are non-negative i16, an eval is named by a negative i16 comm entry.
constexpr int64_t kMaxSlots = 32768;
constexpr int64_t kMaxFrags = 32768;
constexpr int64_t kMaxEvals = 32768;
constexpr int64_t kMaxComms = 65536;  // the comm-name list's bound
constexpr int64_t kVoiceCount = 14;
constexpr size_t kMaxListCount = 32767;  // a record's count is i16
constexpr size_t kMaxCommEntries = 255;  // a comm's Elements field is u8

}  // namespace vox::pack

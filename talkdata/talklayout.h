#pragma once

#include <cstdint>

#include "talkdata/bytes.h"

namespace vox {

// The talk file's layout, in one place for every reader and writer: a 12-byte header that is
// only ever preserved; a directory of u32 slots, slot i holding the absolute offset of talk
// entry i (voxIndex i), or 0 for none; then the entries, each decodedSize (u32), codedSize
// (u32) and the coded bytes. The directory has no count: it ends where slot 0's entry begins.
inline constexpr uint32_t kTalkHeaderSize = 12;
inline constexpr uint32_t kTalkSlotSize = 4;
inline constexpr uint32_t kTalkEntryHeaderSize = 8;  // decodedSize, codedSize
// Every offset is a u32, so a talk file ends before 4 GiB.
inline constexpr uint64_t kMaxTalkSize = 0xFFFFFFFFu;
// A fragment stores voxIndex as a signed 16-bit number.
inline constexpr int kMaxVoxIndex = 32767;

// Where slot voxIndex lies in the file.
inline constexpr uint64_t TalkSlotOffset(uint64_t voxIndex) {
    return kTalkHeaderSize + kTalkSlotSize * voxIndex;
}

// The offset just past an entry at offset that holds codedSize coded bytes.
inline constexpr uint64_t TalkEntryEnd(uint64_t offset, uint64_t codedSize) {
    return offset + kTalkEntryHeaderSize + codedSize;
}

inline void WriteTalkEntryHeader(uint8_t* out, uint32_t decodedSize, uint32_t codedSize) {
    WriteU32(out, decodedSize);
    WriteU32(out + 4, codedSize);
}

}  // namespace vox

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/offsetmap.h"
#include "talkdata/talklayout.h"

namespace vox {

class ByteSink;
class MappedFile;

// One talk entry as a lookup hands it out; data points into the mapping and is valid until the
// next Remap, Append or Close of the talk file.
struct VoxEntry {
    uint32_t decodedSize = 0;
    uint32_t codedSize = 0;
    const uint8_t* data = nullptr;
};

// Stateless operations over the talk file's bytes (talklayout.h describes them).
class VoxFile {
  public:
    static constexpr uint32_t kHeaderSize = kTalkHeaderSize;
    static constexpr int kMaxVoxIndex = vox::kMaxVoxIndex;

    // Inline: the last step of every lookup, and every length in it checked against the file.
    static bool GetVoxEntry(ByteSpan file, int voxIndex, VoxEntry& out) {
        if (voxIndex < 0) return false;
        const uint64_t slot = TalkSlotOffset(static_cast<uint64_t>(voxIndex));
        if (slot + kTalkSlotSize > file.size()) return false;
        const uint32_t offset = ReadU32(file.data() + slot);
        if (offset == 0) return false;
        if (uint64_t{offset} + kTalkEntryHeaderSize > file.size()) return false;
        const uint32_t codedSize = ReadU32(file.data() + offset + 4);
        if (TalkEntryEnd(offset, codedSize) > file.size()) return false;
        out.decodedSize = ReadU32(file.data() + offset);
        out.codedSize = codedSize;
        out.data = file.data() + offset + kTalkEntryHeaderSize;
        return true;
    }
    // (slot 0 - 12) / 4 rounded up; 0 when slot 0 is 12 or less or the file is shorter than 16.
    static uint32_t SlotCount(ByteSpan file);
    // Slot 0 is 12 plus a multiple of 4 (at least 16) and lies inside the file: only then is
    // the end of the directory well defined.
    static bool HasWellFormedDirectory(ByteSpan file, std::string* why = nullptr);
    // Whether a whole entry can begin at offset: behind the directory (a well-formed one), its
    // header and coded bytes inside the file. Whether it is the start of an entry that a
    // writer put there, rather than bytes inside one, only the slots and the history know.
    static bool IsEntryAt(ByteSpan file, uint32_t offset, std::string* why = nullptr);
    // Points slot voxIndex at the existing entry at offset and flushes the slot: the in-place
    // re-pointing of a replace, without the append. Refused (nothing written) for a slot that
    // ReplaceEntry would refuse and for an offset where IsEntryAt fails.
    static bool PointSlot(MappedFile& file, int voxIndex, uint32_t offset,
                          std::string* why = nullptr);
    // One append of (decodedLen, codedLen, coded), then the slot, fetched again after the
    // append, gets the block's offset. Refused (nothing written) for voxIndex < 1 or a slot
    // that is not wholly in front of slot 0's entry: slot 0 also defines the directory's end,
    // so replacing it by appending would corrupt the directory; the caller rewrites instead.
    static bool ReplaceEntry(MappedFile& file, int voxIndex, const uint8_t* coded,
                             uint32_t codedLen, uint32_t decodedLen, std::string* why = nullptr);
    // The one-slot rewrite: writes the whole new talk file to out: header, the old slots
    // shifted by 4 (0 stays 0), the new slot (old size + 4), the old bytes from slot 0's entry
    // to the end, the new entry. newVoxIndex = the old slot count. Refused before anything is
    // written when the directory is not well formed, the new voxIndex would be above
    // kMaxVoxIndex, or the result would pass 4 GiB - 1.
    static bool WriteWithNewSlot(ByteSpan old, const uint8_t* coded, uint32_t codedLen,
                                 uint32_t decodedLen, ByteSink& out, int& newVoxIndex,
                                 std::string* why = nullptr);

    // A new recording for one slot, by reference to bytes the caller keeps.
    struct NewEntry {
        int voxIndex = 0;
        uint32_t decodedSize = 0;
        const uint8_t* coded = nullptr;
        uint32_t codedLen = 0;
    };
    // The rewrite that replaces slot 0's entry: slot 0 also marks where the directory ends, so
    // its new entry goes right behind the directory, where slot 0 already points, and every
    // other slot moves with the old entries. The others (slots that an append could re-point,
    // as EntryBatch does) get their new entries at the end of the same new file, so that a
    // batch that includes slot 0 still lands in one rename. Refused before anything is written
    // when the directory is not well formed, one of the others is not a slot in front of slot
    // 0's entry, or the result would pass 4 GiB - 1.
    static bool WriteWithNewFirstEntry(ByteSpan old, const NewEntry& first,
                                       const std::vector<NewEntry>& others, ByteSink& out,
                                       std::string* why = nullptr);
    // The rewrite that points slot 0 at an entry already in the file (an undo, a revert): that
    // entry moves right behind the directory, where slot 0 points, and everything from the old
    // first entry up to it moves back by its size (OffsetMap::EntryToFront); the file keeps its
    // size. Refused before anything is written when no whole entry begins at entry or it is
    // already the first.
    static bool WriteWithEntryFirst(ByteSpan old, uint32_t entry, ByteSink& out,
                                    std::string* why = nullptr);
    // The size of the entry at offset with its header; IsEntryAt must hold.
    static uint32_t EntrySize(ByteSpan file, uint32_t offset);
};

// The name every rewrite of the talk file (an add, a compact) is written under before it
// replaces the talk file: its path with the last character replaced by "$". One fixed name,
// so that what a killed rewrite leaves behind is taken over by the next one instead of piling
// up beside the database. Empty when the talk file's own name ends in "$" (it would be its own
// temporary file, and making that would delete it).
std::string TemporaryTalkPath(const std::string& talkPath);

}  // namespace vox

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/talkhistory.h"

namespace vox {

class MappedFile;

// Many replacements of talk entries applied together: every new entry is appended in one
// write and flushed, and only then are the slots re-pointed. A failed append leaves every slot
// as it was. The slots are written under a journal (slotjournal.h), so a batch stopped part-way
// by a kill or a power cut is completed by the next writer: it applies whole or not at all. The
// old entries stay in the file, unreferenced, as after any replace.
class EntryBatch {
  public:
    struct Replacement {
        int voxIndex = 0;
        uint32_t decodedSize = 0;
        std::vector<uint8_t> coded;
        // For the history line: the fragment's voice it was asked for, and where it came from.
        int frag = -1;
        int voice = -1;
        TakeSource source;
    };

    // Whether voxIndex names a slot that an append can re-point: not slot 0 (its value also
    // marks where the directory ends) and wholly in front of slot 0's entry.
    static bool CanReplaceInPlace(ByteSpan talk, int voxIndex);

    // False (and nothing added) for a voxIndex that is already in the batch.
    bool Add(int voxIndex, uint32_t decodedSize, std::vector<uint8_t> coded, int frag = -1,
             int voice = -1, TakeSource source = {});
    bool Contains(int voxIndex) const;
    size_t Size() const { return replacements_.size(); }
    bool IsEmpty() const { return replacements_.empty(); }
    const std::vector<Replacement>& Replacements() const { return replacements_; }

    // Checks every slot first and refuses the whole batch before writing when one cannot be
    // re-pointed or the file would pass 4 GiB; then one append and its flush, the journal, the
    // slots in batch order, their flush, and the journal's removal. slotsWritten counts the
    // slots that now point at their new entries.
    bool Apply(MappedFile& file, size_t& slotsWritten, std::string* why = nullptr) const;

  private:
    std::vector<Replacement> replacements_;
};

}  // namespace vox

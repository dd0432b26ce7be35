#pragma once

#include <cstdint>
#include <vector>

namespace vox {

// How a rewrite of the talk file moved its entries, for everything that keeps an entry's
// offset (the slots, the history, the desktop program's undo stack): an offset inside one of
// the ranges moves by that range's distance, any other offset stays.
class OffsetMap {
  public:
    // A rewrite that inserted distance bytes in front of from.
    static OffsetMap ShiftFrom(uint32_t from, uint32_t distance);
    // A rewrite that put the entry at entry (entrySize bytes with its header) right behind the
    // directory, at firstEntry: what lay from firstEntry up to it moves back by entrySize.
    static OffsetMap EntryToFront(uint32_t firstEntry, uint32_t entry, uint32_t entrySize);

    // An offset that would move past 4 GiB - 1 lies beyond the end of any talk file; it stays
    // where it was rather than wrap into the header.
    uint32_t operator()(uint32_t offset) const;

  private:
    struct Range {
        uint64_t begin;
        uint64_t end;
        int64_t distance;
    };
    std::vector<Range> ranges_;
};

}  // namespace vox

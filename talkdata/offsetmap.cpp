#include "talkdata/offsetmap.h"

namespace vox {

OffsetMap OffsetMap::ShiftFrom(uint32_t from, uint32_t distance) {
    OffsetMap map;
    map.ranges_.push_back({from, uint64_t{1} << 32, distance});
    return map;
}

OffsetMap OffsetMap::EntryToFront(uint32_t firstEntry, uint32_t entry, uint32_t entrySize) {
    OffsetMap map;
    if (entry <= firstEntry) return map;
    map.ranges_.push_back({firstEntry, entry, entrySize});
    map.ranges_.push_back(
        {entry, uint64_t{entry} + entrySize, int64_t{firstEntry} - int64_t{entry}});
    return map;
}

uint32_t OffsetMap::operator()(uint32_t offset) const {
    for (const Range& range : ranges_) {
        if (offset < range.begin || offset >= range.end) continue;
        const int64_t moved = int64_t{offset} + range.distance;
        return moved < 0 || moved > int64_t{UINT32_MAX} ? offset : static_cast<uint32_t>(moved);
    }
    return offset;
}

}  // namespace vox

#pragma once

#include <cstdint>
#include <string>

#include "talkdata/bytes.h"
#include "talkdata/progress.h"

namespace vox {

class ByteSink;

struct CompactResult {
    uint64_t oldSize = 0;
    uint64_t newSize = 0;
    bool rewritten = false;  // false when nothing was unreferenced: the file was left alone
    bool cancelled = false;
    bool heldElsewhere = false;  // another program holds the writer lock
    std::string error;
    uint64_t Reclaimed() const { return oldSize - newSize; }
};

// The talk file without the bytes that no slot points to: the same header and directory (every
// voxIndex keeps its slot, empty slots stay empty, slots that share an entry still share it),
// then every entry's bytes unchanged, in the order they had. Refused before anything is written
// when the directory has no clear end or a slot points at something that is not a whole entry
// behind the directory, or two entries overlap: such a file needs a person, not a rewrite.
// newSize gets the size of the result.
bool WriteCompactedTalk(ByteSpan talk, ByteSink& out, const ProgressFn& progress, uint64_t& newSize,
                        std::string* why = nullptr);

// The size WriteCompactedTalk would write, or false and why when it would refuse.
bool CompactedSize(ByteSpan talk, uint64_t& newSize, std::string* why = nullptr);

// Compacts the talk file in place, safely (temporary file, flush, rename), under the writer
// lock: while another program holds the database open for writing it refuses at once. A file
// with nothing to reclaim is not rewritten. False, with result.error, on any refusal or
// failure, and when progress asked to stop; the talk file is then as it was.
bool CompactTalkFile(const std::string& talkPath, CompactResult& result,
                     const ProgressFn& progress = {});

}  // namespace vox

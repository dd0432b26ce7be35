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
    // The earlier takes the history names (talkhistory.h), kept unless the history's takes
    // were to be dropped, and those it now marks dropped because their bytes are gone.
    uint64_t keptTakes = 0;
    uint64_t keptTakeBytes = 0;
    uint64_t droppedTakes = 0;
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
//
// The entries the history names (earlier takes) are kept like referenced ones, unless
// dropHistory; the history is rewritten with their new offsets, and every offset whose bytes
// did not survive (dropped, or not a whole entry that overlaps none of the kept ones) is marked
// dropped, so that a revert to it is refused by name. The lines themselves always stay. The new
// history is written to its temporary file before the talk file's rename and renamed right
// after it; a failure before the talk file's rename leaves both as they were.
bool CompactTalkFile(const std::string& talkPath, CompactResult& result,
                     const ProgressFn& progress = {}, bool dropHistory = false);

}  // namespace vox

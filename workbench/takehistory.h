#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/talkhistory.h"
#include "workbench/document.h"

namespace vox {

// The history of a talk file, or of one fragment's voice.
struct HistoryResult {
    std::vector<HistoryLine> lines;   // in file order
    std::vector<HistoryBadLine> bad;  // cut short or malformed, skipped (of the whole file)
    bool cancelled = false;           // never set: the shape every result has
    std::string error;                // the history file is there but cannot be read
};

// Every line (frag < 0), the lines of one fragment (voice < 0), or of one fragment's voice.
HistoryResult ReadTalkHistory(const std::string& talkPath, int frag = -1, int voice = -1);

// The takes of one fragment's voice (TakesOf), against the document's talk file and its slot.
struct TakesResult {
    std::vector<Take> takes;  // oldest first; at most one is current
    std::vector<HistoryBadLine> bad;
    bool cancelled = false;
    std::string error;  // the fragment or voice is missing, the history cannot be read
};
TakesResult ListTakes(CVoxbenchDoc& doc, int frag, int voice);

// The offsets are where the entries lie after the revert (slot 0's revert moves them).
struct RevertResult {
    uint32_t fromOffset = 0;  // the entry the slot held
    Take take;                // the take it holds now
    int takeNumber = 0;       // 1-based among the takes, oldest first
    bool cancelled = false;
    // "fragment 3 voice 0: take 2 was dropped by compact", "... has no earlier take", the
    // slot's refusal; or, when only the history line could not be written after the slot
    // moved, a message that says the revert happened (the slot holds take's entry then).
    std::string error;
    bool moved = false;  // the slot points at take.offset now (also when error is set)
};

// Puts back the take steps back from the current one (1: the one before it) and appends a
// "revert" line with that take's source. When the slot holds no take of the history (it was
// changed some other way), counting starts behind the newest take.
RevertResult RevertTake(CVoxbenchDoc& doc, int frag, int voice, int steps = 1);
// Puts back the take whose entry lies at offset (one of ListTakes), as RevertTake does.
RevertResult RevertToEntry(CVoxbenchDoc& doc, int frag, int voice, uint32_t offset);

}  // namespace vox

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// Where a recording came from: the sound file's name (no folder) and a hash of its bytes as
// they were read. Both may be empty when nobody knows (a take from before the history).
struct TakeSource {
    std::string name;
    std::string hash;  // 16 lowercase hex digits, ContentHash of the file's bytes
};

// A 64-bit FNV-1a hash of bytes as 16 lowercase hex digits: it tells two versions of a sound
// file apart; it is no defence against someone forging a collision.
std::string ContentHash(ByteSpan bytes);

// One event of the history file ("speech.vox.history", docs/history-format.md): a slot of the
// talk file was pointed at another entry by a replace, an import or a revert.
struct HistoryLine {
    std::string time;  // ISO 8601 UTC, "2026-12-07T15:38:15Z"
    std::string kind;  // "replace", "import" or "revert"
    int frag = 0;
    int voice = 0;
    uint32_t voxIndex = 0;   // the slot
    uint32_t oldOffset = 0;  // the entry the slot left
    uint32_t newOffset = 0;  // the entry the slot took
    // Compact dropped the entry's bytes: the offset is then only the take's name (where it lay
    // before that compact), no place in the talk file.
    bool oldDropped = false;
    bool newDropped = false;
    TakeSource source;
    uint64_t lineNumber = 0;  // 1-based, as read; 0 for a line not read from a file
};

// A line that readers skip: cut short by a kill (no final newline) or not of the format.
struct HistoryBadLine {
    uint64_t lineNumber = 0;
    std::string why;
};

struct History {
    std::vector<HistoryLine> lines;
    std::vector<HistoryBadLine> bad;
};

std::string HistoryPath(const std::string& talkPath);
// The current time as a history line gives it.
std::string HistoryTimeNow();

// The line's text with its final newline. The source name's control bytes and '%' are written
// as %XX, so that a line is always one line of tab-separated fields.
std::string HistoryLineText(const HistoryLine& line);
// One line without its newline; false, and why, when it is not of the format.
bool ParseHistoryLine(std::string_view text, HistoryLine& out, std::string* why = nullptr);
// Every line of the file's bytes; the well-formed ones in order, the others counted in bad.
History ParseHistory(ByteSpan bytes);

// Reads the history beside the talk file; a missing file is an empty history. False, and why,
// only when a file that is there cannot be read.
bool ReadHistory(const std::string& talkPath, History& out, std::string* why = nullptr);
// Appends the lines in one write and flushes them to disk (fsync). A file whose last line was
// cut short by a kill first gets its newline, so that the cut line stays one bad line and the
// new ones stay whole. The caller holds the writer lock.
bool AppendHistory(const std::string& talkPath, const std::vector<HistoryLine>& lines,
                   std::string* why = nullptr);
// Replaces the whole history safely (temporary file, flush, rename); bad lines of the old file
// are not carried over. The caller holds the writer lock.
bool WriteHistory(const std::string& talkPath, const std::vector<HistoryLine>& lines,
                  std::string* why = nullptr);
// After a rewrite of the talk file moved its entries: every stored offset that is not dropped
// goes through moved. Nothing is written when there is no history or nothing changes.
bool MoveHistoryOffsets(const std::string& talkPath, const std::function<uint32_t(uint32_t)>& moved,
                        std::string* why = nullptr);

// One recording a fragment's voice has had.
struct Take {
    uint32_t offset = 0;   // the entry (where it lay, when dropped)
    bool dropped = false;  // compact dropped its bytes
    std::string time;      // when it became the voice's take; empty for the first
    TakeSource source;     // empty for the first (it came before the history)
    bool present = false;  // its entry is still a whole entry of the talk file
    bool current = false;  // the slot points at it now
};

// The takes of one fragment's voice, oldest first: for each of its lines the entry the slot
// left, then the one it took, each offset once (a revert names an earlier take again); a
// dropped take keeps its place in the list, told apart from a live one at the same offset.
// "Current" is what the slot says (currentOffset), never the newest line: an undo re-points
// the slot without a line, and a kill may fall between a slot's move and its line.
std::vector<Take> TakesOf(const History& history, int frag, int voice, ByteSpan talk,
                          uint32_t currentOffset);

}  // namespace vox

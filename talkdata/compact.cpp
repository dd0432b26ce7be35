#include "talkdata/compact.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <vector>

#include "talkdata/leftovers.h"
#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "talkdata/writerlock.h"

namespace vox {
namespace {

// How many bytes are copied between two progress reports.
constexpr uint64_t kProgressStep = uint64_t{4} << 20;

struct Entry {
    uint32_t oldOffset = 0;
    uint32_t length = 0;  // header and coded bytes
    uint32_t newOffset = 0;
};

// Where every entry goes: the entries in the order of their old offsets, packed behind the
// directory. Slot 0's entry begins where the directory ends, so it stays first.
struct Plan {
    uint32_t slots = 0;
    std::vector<Entry> entries;          // by old offset
    std::map<uint32_t, uint32_t> moved;  // old offset -> new offset
    uint64_t newSize = 0;
    uint64_t keptTakes = 0;  // entries kept only because the history names them
    uint64_t keptTakeBytes = 0;
};

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

bool CollectEntries(ByteSpan talk, Plan& plan, std::string* why) {
    const uint32_t directoryEnd = kTalkHeaderSize + kTalkSlotSize * plan.slots;
    std::map<uint32_t, uint32_t> lengths;
    for (uint32_t slot = 0; slot < plan.slots; ++slot) {
        const uint32_t offset = ReadU32(talk.data() + kTalkHeaderSize + kTalkSlotSize * slot);
        if (offset == 0) continue;
        VoxEntry entry;
        if (offset < directoryEnd || !VoxFile::GetVoxEntry(talk, static_cast<int>(slot), entry)) {
            return Refuse(why, "slot " + std::to_string(slot) +
                                   " does not point at a whole entry behind the directory");
        }
        lengths[offset] = kTalkEntryHeaderSize + entry.codedSize;
    }
    uint64_t previousEnd = directoryEnd;
    for (const auto& [offset, length] : lengths) {
        if (offset < previousEnd) {
            return Refuse(
                why, "the entry at byte " + std::to_string(offset) + " overlaps the one before it");
        }
        plan.entries.push_back({offset, length, 0});
        previousEnd = uint64_t{offset} + length;
    }
    return true;
}

// An earlier take the history names joins the plan when a whole entry lies there and it
// overlaps none of the entries already in it; anything else is dropped.
bool KeepTake(ByteSpan talk, uint32_t offset, Plan& plan) {
    if (!VoxFile::IsEntryAt(talk, offset)) return false;
    const uint64_t end = TalkEntryEnd(offset, ReadU32(talk.data() + offset + 4));
    auto next = std::lower_bound(plan.entries.begin(), plan.entries.end(), offset,
                                 [](const Entry& e, uint32_t at) { return e.oldOffset < at; });
    if (next != plan.entries.end() && (next->oldOffset == offset || next->oldOffset < end)) {
        return next->oldOffset == offset;  // already kept: a slot points at it
    }
    if (next != plan.entries.begin()) {
        const Entry& before = *(next - 1);
        if (uint64_t{before.oldOffset} + before.length > offset) return false;
    }
    plan.entries.insert(next, {offset, static_cast<uint32_t>(end - offset), 0});
    plan.keptTakes += 1;
    plan.keptTakeBytes += end - offset;
    return true;
}

bool MakePlan(ByteSpan talk, Plan& plan, std::string* why,
              const std::vector<uint32_t>& takes = {}) {
    if (!VoxFile::HasWellFormedDirectory(talk, why)) return false;
    plan.slots = VoxFile::SlotCount(talk);
    if (!CollectEntries(talk, plan, why)) return false;
    for (const uint32_t offset : takes) KeepTake(talk, offset, plan);
    uint64_t at = kTalkHeaderSize + uint64_t{kTalkSlotSize} * plan.slots;
    for (Entry& entry : plan.entries) {
        entry.newOffset = static_cast<uint32_t>(at);  // never beyond the old offset
        plan.moved[entry.oldOffset] = entry.newOffset;
        at += entry.length;
    }
    plan.newSize = at;
    return true;
}

std::vector<uint8_t> NewFront(ByteSpan talk, const Plan& plan) {
    std::vector<uint8_t> front(talk.begin(),
                               talk.begin() + kTalkHeaderSize + kTalkSlotSize * plan.slots);
    for (uint32_t slot = 0; slot < plan.slots; ++slot) {
        uint8_t* at = front.data() + kTalkHeaderSize + kTalkSlotSize * slot;
        const uint32_t offset = ReadU32(at);
        if (offset != 0) WriteU32(at, plan.moved.at(offset));
    }
    return front;
}

// Passes the entries on and reports every few megabytes; false when the sink fails or
// progress asks to stop (cancelled tells which).
bool WriteEntries(ByteSpan talk, const Plan& plan, ByteSink& out, const ProgressFn& progress,
                  bool& cancelled) {
    uint64_t done = kTalkHeaderSize + uint64_t{kTalkSlotSize} * plan.slots;
    uint64_t reported = 0;
    for (const Entry& entry : plan.entries) {
        if (!out.Write(talk.data() + entry.oldOffset, entry.length)) return false;
        done += entry.length;
        if (done - reported >= kProgressStep || done == plan.newSize) {
            reported = done;
            if (!ReportProgress(progress, done, plan.newSize)) {
                cancelled = true;
                return false;
            }
        }
    }
    return true;
}

// The whole new file: header and directory, then the entries.
bool WritePlan(ByteSpan talk, const Plan& plan, ByteSink& out, const ProgressFn& progress,
               bool& cancelled) {
    const std::vector<uint8_t> front = NewFront(talk, plan);
    return out.Write(front.data(), front.size()) &&
           WriteEntries(talk, plan, out, progress, cancelled);
}

}  // namespace

bool CompactedSize(ByteSpan talk, uint64_t& newSize, std::string* why) {
    Plan plan;
    if (!MakePlan(talk, plan, why)) return false;
    newSize = plan.newSize;
    return true;
}

bool WriteCompactedTalk(ByteSpan talk, ByteSink& out, const ProgressFn& progress, uint64_t& newSize,
                        std::string* why) {
    Plan plan;
    if (!MakePlan(talk, plan, why)) return false;
    bool cancelled = false;
    if (!WritePlan(talk, plan, out, progress, cancelled)) {
        return Refuse(why, cancelled ? "interrupted" : "the new file could not be written");
    }
    newSize = plan.newSize;
    return true;
}

bool CompactTalkFile(const std::string& talkPath, CompactResult& result, const ProgressFn& progress,
                     bool dropHistory) {
    result = CompactResult();
    WriterLock lock;
    if (!lock.Acquire(talkPath)) {
        result.heldElsewhere = lock.GetError() == WriterLock::kHeldElsewhere;
        result.error = talkPath + ": " + lock.GetError();
        return false;
    }
    // A batch that a killed writer left half done names entries that no slot points to yet:
    // it is completed first, or compacting would drop them.
    if (!PrepareToWrite(talkPath, time(nullptr), &result.error)) return false;
    MappedFile talk;
    if (!talk.Open(talkPath, 0)) {
        result.error = talkPath + ": " + talk.GetError();
        return false;
    }
    result.oldSize = result.newSize = talk.GetSize();
    History history;
    std::string why;
    if (!ReadHistory(talkPath, history, &why)) {
        result.error = why;
        return false;
    }
    std::vector<uint32_t> takes;
    for (const HistoryLine& line : history.lines) {
        if (dropHistory) break;
        if (!line.oldDropped) takes.push_back(line.oldOffset);
        if (!line.newDropped) takes.push_back(line.newOffset);
    }
    std::sort(takes.begin(), takes.end());
    takes.erase(std::unique(takes.begin(), takes.end()), takes.end());
    Plan plan;
    if (!MakePlan(talk.Bytes(), plan, &why, takes)) {
        result.error = talkPath + ": " + why;
        return false;
    }
    result.keptTakes = plan.keptTakes;
    result.keptTakeBytes = plan.keptTakeBytes;
    if (plan.newSize == result.oldSize) return true;  // nothing to reclaim

    // The history with the new offsets, ready before the talk file moves.
    std::set<uint32_t> dropped;
    for (HistoryLine& line : history.lines) {
        const std::pair<uint32_t*, bool*> offsets[] = {{&line.oldOffset, &line.oldDropped},
                                                       {&line.newOffset, &line.newDropped}};
        for (const auto& [offset, isDropped] : offsets) {
            if (*isDropped) continue;
            const auto found = plan.moved.find(*offset);
            if (found == plan.moved.end()) {
                dropped.insert(*offset);
                *isDropped = true;  // the offset stays, as the take's name
            } else {
                *offset = found->second;
            }
        }
    }
    result.droppedTakes = dropped.size();
    const bool hasHistory = !history.lines.empty() || !history.bad.empty();
    SafeFile newHistory;
    if (hasHistory) {
        std::string text;
        for (const HistoryLine& line : history.lines) text += HistoryLineText(line);
        if (!newHistory.Begin(ResolveLinks(HistoryPath(talkPath))) ||
            !newHistory.Write(text.data(), text.size())) {
            result.error = newHistory.DescribeFailure();
            newHistory.Abort();
            return false;
        }
    }

    // A talk file reached through a symbolic link is compacted where the link points.
    const std::string target = ResolveLinks(talkPath);
    const std::string tempPath = TemporaryTalkPath(target);
    if (tempPath.empty()) {
        result.error = target +
                       ": cannot be rewritten: a name ending in \"$\" is the one its "
                       "temporary copy would take";
        return false;
    }
    SafeFile out;
    if (!out.Begin(target, tempPath)) {
        result.error = out.DescribeFailure();
        return false;
    }
    if (!WritePlan(talk.Bytes(), plan, out, progress, result.cancelled)) {
        result.error = result.cancelled ? talkPath + ": interrupted" : out.DescribeFailure();
        out.Abort();
        return false;
    }
    // The lock on the old file is held until the new one is in place: a second writer that
    // opened the old file finds it locked, and once it gets it, replaced.
    if (!out.Commit()) {
        result.error = out.DescribeFailure();
        return false;
    }
    result.newSize = plan.newSize;
    result.rewritten = true;
    if (hasHistory && !newHistory.Commit()) {
        result.error = talkPath +
                       ": compacted, but the history could not be rewritten with the entries' "
                       "new offsets (" +
                       newHistory.DescribeFailure() + "): its offsets no longer name its takes";
        return false;
    }
    return true;
}

}  // namespace vox

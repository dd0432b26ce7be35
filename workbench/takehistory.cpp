#include "workbench/takehistory.h"

namespace vox {
namespace {

std::string VoiceName(int frag, int voice) {
    return "fragment " + std::to_string(frag) + " voice " + std::to_string(voice);
}

RevertResult PutBack(CVoxbenchDoc& doc, int frag, int voice, const std::vector<Take>& takes,
                     size_t index) {
    RevertResult result;
    result.take = takes[index];
    result.takeNumber = static_cast<int>(index) + 1;
    const std::string name = VoiceName(frag, voice);
    if (!result.take.present) {
        result.error = name + ": take " + std::to_string(result.takeNumber) +
                       (result.take.dropped ? " was dropped by compact"
                                            : " is no longer a whole entry of the talk file");
        return result;
    }
    if (result.take.current) {
        result.error =
            name + ": take " + std::to_string(result.takeNumber) + " is already the current one";
        return result;
    }
    doc.GetSlotOffset(frag, voice, result.fromOffset);
    const size_t moves = doc.GetEntryMoveCount();
    const Status pointed = doc.PointSlotAt(frag, voice, result.take.offset);
    // Slot 0's take is moved to the front, and the entries in front of it with it.
    doc.FollowEntry(result.fromOffset, moves);
    doc.FollowEntry(result.take.offset, moves);
    if (!pointed) {
        result.error = pointed.error;
        result.moved = doc.GetEntryMoveCount() != moves;
        return result;
    }
    result.moved = true;
    result.take.current = true;
    HistoryLine line;
    line.time = HistoryTimeNow();
    line.kind = "revert";
    line.frag = frag;
    line.voice = voice;
    ListRecord record;
    doc.GetFragRecord(frag, record);
    line.voxIndex = static_cast<uint32_t>(doc.FindVoxIndex(record, voice));
    line.oldOffset = result.fromOffset;
    line.newOffset = result.take.offset;
    line.source = result.take.source;
    std::string why;
    if (!AppendHistory(doc.GetVoxFile().GetPath(), {line}, &why)) {
        result.error = doc.GetVoxFile().GetPath() + ": " + name + " holds take " +
                       std::to_string(result.takeNumber) +
                       " again, but its history line could not be written: " + why;
    }
    return result;
}

}  // namespace

HistoryResult ReadTalkHistory(const std::string& talkPath, int frag, int voice) {
    HistoryResult result;
    History history;
    if (!ReadHistory(talkPath, history, &result.error)) return result;
    for (HistoryLine& line : history.lines) {
        if ((frag < 0 || line.frag == frag) && (voice < 0 || line.voice == voice)) {
            result.lines.push_back(std::move(line));
        }
    }
    result.bad = std::move(history.bad);
    return result;
}

TakesResult ListTakes(CVoxbenchDoc& doc, int frag, int voice) {
    TakesResult result;
    uint32_t current = 0;
    if (!doc.GetSlotOffset(frag, voice, current)) {
        result.error = VoiceName(frag, voice) + " does not exist";
        return result;
    }
    History history;
    if (!ReadHistory(doc.GetVoxFile().GetPath(), history, &result.error)) return result;
    result.takes = TakesOf(history, frag, voice, doc.GetVoxFile().Bytes(), current);
    result.bad = std::move(history.bad);
    return result;
}

RevertResult RevertTake(CVoxbenchDoc& doc, int frag, int voice, int steps) {
    const TakesResult listed = ListTakes(doc, frag, voice);
    RevertResult result;
    if (!listed.error.empty()) {
        result.error = listed.error;
        return result;
    }
    const std::vector<Take>& takes = listed.takes;
    size_t current = takes.size();
    for (size_t i = 0; i < takes.size(); ++i) {
        if (takes[i].current) current = i;
    }
    if (steps < 1 || static_cast<size_t>(steps) > current) {
        result.error = VoiceName(frag, voice) + " has " +
                       (current == 0 ? std::string("no earlier take")
                                     : "only " + std::to_string(current) + " earlier take" +
                                           (current == 1 ? "" : "s")) +
                       " in the history";
        return result;
    }
    return PutBack(doc, frag, voice, takes, current - static_cast<size_t>(steps));
}

RevertResult RevertToEntry(CVoxbenchDoc& doc, int frag, int voice, uint32_t offset) {
    const TakesResult listed = ListTakes(doc, frag, voice);
    RevertResult result;
    if (!listed.error.empty()) {
        result.error = listed.error;
        return result;
    }
    // A live take first; a dropped one of the same offset gets its refusal.
    for (const bool dropped : {false, true}) {
        for (size_t i = 0; i < listed.takes.size(); ++i) {
            if (listed.takes[i].offset == offset && listed.takes[i].dropped == dropped) {
                return PutBack(doc, frag, voice, listed.takes, i);
            }
        }
    }
    result.error = VoiceName(frag, voice) + " never had the entry at byte " +
                   std::to_string(offset) + " as a take";
    return result;
}

}  // namespace vox

// The document's two ways of bringing a new recording into the talk file: re-pointing one slot
// at an appended entry, and rewriting the whole file with one more slot.
//
// Each replace also appends a line to the history beside the talk file, after the slot has
// moved and been flushed: a kill between the two leaves a slot whose line is missing, never a
// line that names a move that did not happen. Rewrites that move the entries (slot 0's
// replace and re-pointing, an add) move the history's offsets with them and are noted, so that
// offsets kept from before them can follow their entries (FollowEntry).
#include <functional>
#include <vector>

#include "talkdata/talkhistory.h"
#include "talkdata/talklayout.h"
#include "workbench/document.h"
#include "workbench/talkrewrite.h"

namespace vox {
namespace {

uint32_t SlotValue(const MappedFile& talk, int voxIndex) {
    const uint8_t* at =
        talk.At(static_cast<uint32_t>(TalkSlotOffset(static_cast<uint64_t>(voxIndex))));
    return at != nullptr &&
                   TalkSlotOffset(static_cast<uint64_t>(voxIndex)) + kTalkSlotSize <= talk.GetSize()
               ? ReadU32(at)
               : 0;
}

HistoryLine LineFor(const char* kind, int frag, int voice, int voxIndex, uint32_t oldOffset,
                    uint32_t newOffset, const TakeSource& source) {
    HistoryLine line;
    line.time = HistoryTimeNow();
    line.kind = kind;
    line.frag = frag;
    line.voice = voice;
    line.voxIndex = static_cast<uint32_t>(voxIndex);
    line.oldOffset = oldOffset;
    line.newOffset = newOffset;
    line.source = source;
    return line;
}

// The slots have moved already: a history that cannot be written is said as such, not as a
// replace that failed.
Status HistoryFailure(const std::string& talkPath, const std::string& what,
                      const std::string& why) {
    return Status::Failure(talkPath + ": " + what +
                           " holds the new recording, but its history line could not be "
                           "written: " +
                           why);
}

Status RecordHistory(const std::string& talkPath, const std::vector<HistoryLine>& lines) {
    std::string why;
    if (AppendHistory(talkPath, lines, &why)) return {};
    const std::string what = lines.size() == 1 ? "fragment " + std::to_string(lines[0].frag) +
                                                     " voice " + std::to_string(lines[0].voice)
                                               : "every replaced voice";
    return HistoryFailure(talkPath, what, why);
}

// The slot of a fragment's voice, or why there is none.
Status FindVoiceSlot(const CVoxbenchDoc& doc, int frag, int voice, int& voxIndex) {
    ListRecord record;
    if (!doc.GetFragRecord(frag, record)) {
        return Status::Failure("there is no fragment " + std::to_string(frag));
    }
    voxIndex = doc.FindVoxIndex(record, voice);
    if (voxIndex < 0) {
        return Status::Failure("fragment " + std::to_string(frag) + " has no voice " +
                               std::to_string(voice));
    }
    return {};
}

}  // namespace

bool CVoxbenchDoc::GetSlotOffset(int frag, int voice, uint32_t& offset) const {
    ListRecord record;
    if (!GetFragRecord(frag, record)) return false;
    const int voxIndex = FindVoxIndex(record, voice);
    if (voxIndex < 0) return false;
    const uint64_t at = TalkSlotOffset(static_cast<uint64_t>(voxIndex));
    if (at + kTalkSlotSize > voxFile_.GetSize() ||
        voxFile_.At(static_cast<uint32_t>(at)) == nullptr) {
        return false;
    }
    offset = ReadU32(voxFile_.At(static_cast<uint32_t>(at)));
    return true;
}

Status CVoxbenchDoc::PointSlotAt(int frag, int voice, uint32_t entryOffset) {
    if (readOnly_ || !voxFile_.IsOpen())
        return Status::Failure("the talk file is not open for writing");
    int voxIndex = -1;
    if (Status found = FindVoiceSlot(*this, frag, voice, voxIndex); !found) return found;
    if (voxIndex == 0) return PutEntryFirst(frag, voice, entryOffset);
    std::string why;
    if (!VoxFile::PointSlot(voxFile_, voxIndex, entryOffset, &why)) {
        return Status::Failure(voxFile_.GetPath() + ": fragment " + std::to_string(frag) +
                               " voice " + std::to_string(voice) + ": " + why);
    }
    return {};
}

// Slot 0 also marks where the directory ends, so it always points right behind the directory:
// the entry it is to hold is moved there by a rewrite, and the history's offsets move with it.
Status CVoxbenchDoc::PutEntryFirst(int frag, int voice, uint32_t entryOffset) {
    const std::string name = "fragment " + std::to_string(frag) + " voice " + std::to_string(voice);
    std::string why;
    if (!VoxFile::IsEntryAt(voxFile_.Bytes(), entryOffset, &why))
        return Status::Failure(voxFile_.GetPath() + ": " + name + ": " + why);
    const uint32_t firstEntry = SlotValue(voxFile_, 0);
    if (entryOffset == firstEntry) return {};
    const OffsetMap moved = OffsetMap::EntryToFront(
        firstEntry, entryOffset, VoxFile::EntrySize(voxFile_.Bytes(), entryOffset));
    const Status status = RewriteWithEntryFirst(voxFile_, writerLock_, entryOffset);
    if (!status) return status;
    NoteEntryMove(moved);
    if (!MoveHistoryOffsets(voxFile_.GetPath(), moved, &why)) {
        return Status::Failure(voxFile_.GetPath() + ": " + name +
                               " holds the recording, but the history's offsets could not be "
                               "moved with the entries: " +
                               why);
    }
    return {};
}

bool CVoxbenchDoc::FollowEntry(uint32_t& offset, size_t since) const {
    if (since > entryMoves_.size()) return false;
    for (size_t i = since; i < entryMoves_.size(); ++i) {
        if (!entryMoves_[i]) return false;
        offset = (*entryMoves_[i])(offset);
    }
    return true;
}

Status CVoxbenchDoc::ReplaceFragment(int frag, int voice, const uint8_t* coded, uint32_t codedLen,
                                     uint32_t decodedLen, const TakeSource& source) {
    if (coded == nullptr && codedLen != 0) return Status::Failure("no coded bytes given");
    int voxIndex = -1;
    if (Status found = FindVoiceSlot(*this, frag, voice, voxIndex); !found) return found;
    if (voxFile_.At(static_cast<uint32_t>(TalkSlotOffset(static_cast<uint64_t>(voxIndex)))) ==
        nullptr) {
        return Status::Failure("talk entry " + std::to_string(voxIndex) + " of fragment " +
                               std::to_string(frag) + " voice " + std::to_string(voice) +
                               " could not be replaced");
    }
    const std::string talkPath = voxFile_.GetPath();
    const uint32_t oldOffset = SlotValue(voxFile_, voxIndex);
    if (voxIndex == 0) {
        // The new entry takes the old one's place right behind the directory; the old one and
        // everything after it move back by the new entry's length.
        const uint32_t distance = kTalkEntryHeaderSize + codedLen;
        const Status status =
            RewriteWithFirstEntry(voxFile_, writerLock_, {0, decodedLen, coded, codedLen}, {});
        if (!status) return status;
        NoteEntryMove(OffsetMap::ShiftFrom(oldOffset, distance));
        std::string why;
        if (!MoveHistoryOffsets(talkPath, OffsetMap::ShiftFrom(oldOffset, distance), &why)) {
            return HistoryFailure(
                talkPath, "fragment " + std::to_string(frag) + " voice " + std::to_string(voice),
                why);
        }
        return RecordHistory(talkPath, {LineFor("replace", frag, voice, 0, oldOffset + distance,
                                                oldOffset, source)});
    }
    // Refuses a voxIndex beyond the directory: such a "slot" is a word of some entry.
    std::string error;
    if (!VoxFile::ReplaceEntry(voxFile_, voxIndex, coded, codedLen, decodedLen, &error)) {
        return Status::Failure(talkPath + ": " + error);
    }
    return RecordHistory(talkPath, {LineFor("replace", frag, voice, voxIndex, oldOffset,
                                            SlotValue(voxFile_, voxIndex), source)});
}

Status CVoxbenchDoc::ReplaceEntries(const EntryBatch& batch, size_t& slotsWritten) {
    slotsWritten = 0;
    const std::string talkPath = voxFile_.GetPath();
    std::vector<uint32_t> oldOffsets;
    for (const EntryBatch::Replacement& r : batch.Replacements()) {
        oldOffsets.push_back(SlotValue(voxFile_, r.voxIndex));
    }
    // One line per slot the batch moved, in batch order.
    auto linesFor = [&](size_t count, const std::function<uint32_t(uint32_t)>& moved) {
        std::vector<HistoryLine> lines;
        for (size_t i = 0; i < count; ++i) {
            const EntryBatch::Replacement& r = batch.Replacements()[i];
            lines.push_back(LineFor("import", r.frag, r.voice, r.voxIndex, moved(oldOffsets[i]),
                                    SlotValue(voxFile_, r.voxIndex), r.source));
        }
        return lines;
    };
    if (!batch.Contains(0)) {
        std::string error;
        const bool applied = batch.Apply(voxFile_, slotsWritten, &error);
        const Status recorded =
            RecordHistory(talkPath, linesFor(slotsWritten, [](uint32_t o) { return o; }));
        if (!applied) return Status::Failure(talkPath + ": " + error);
        return recorded;
    }
    // Slot 0 is replaced by a rewrite; the rest of the batch rides along in the same new file,
    // so that the whole batch still lands at once.
    VoxFile::NewEntry first;
    std::vector<VoxFile::NewEntry> others;
    for (const EntryBatch::Replacement& r : batch.Replacements()) {
        const VoxFile::NewEntry entry{r.voxIndex, r.decodedSize, r.coded.data(),
                                      static_cast<uint32_t>(r.coded.size())};
        if (r.voxIndex == 0)
            first = entry;
        else
            others.push_back(entry);
    }
    const uint32_t firstEntry = SlotValue(voxFile_, 0);
    const Status status = RewriteWithFirstEntry(voxFile_, writerLock_, first, others);
    if (!status) return status;
    slotsWritten = batch.Size();
    const OffsetMap moved = OffsetMap::ShiftFrom(firstEntry, kTalkEntryHeaderSize + first.codedLen);
    NoteEntryMove(moved);
    std::string why;
    if (!MoveHistoryOffsets(talkPath, moved, &why)) {
        return HistoryFailure(talkPath, "every replaced voice", why);
    }
    return RecordHistory(talkPath, linesFor(batch.Size(), moved));
}

Status CVoxbenchDoc::AddFragment(int frag, int voice, std::unique_ptr<uint8_t[]> coded,
                                 uint32_t codedLen, uint32_t decodedLen,
                                 const ProgressFn& progress) {
    if (coded == nullptr && codedLen != 0) return Status::Failure("no coded bytes given");
    // Everything that could refuse the add is settled before a byte is written: a refusal
    // after the rewrite would leave a slot and an entry that nothing references.
    const uint64_t newSize =
        uint64_t{voxFile_.GetSize()} + kTalkSlotSize + kTalkEntryHeaderSize + codedLen;
    const std::string why = WhyNoRewrite(voxFile_, newSize);
    if (!why.empty()) return Status::Failure(why);
    const uint32_t newVoxIndex = VoxFile::SlotCount(voxFile_.Bytes());
    const uint32_t oldFirstEntry = SlotValue(voxFile_, 0);
    if (newVoxIndex > static_cast<uint32_t>(kMaxVoxIndex)) {
        return Status::Failure("Voxfile has no room for another entry");
    }
    FragTable updated = fragTable_;
    if (!updated.AddElement(frag, voice, static_cast<int>(newVoxIndex))) {
        return Status::Failure("Add new fragment failed");
    }

    const Status status = RewriteTalkFile(
        voxFile_, writerLock_, newSize,
        [&](ByteSink& sink) {
            int written = -1;
            return VoxFile::WriteWithNewSlot(voxFile_.Bytes(), coded.get(), codedLen, decodedLen,
                                             sink, written) &&
                   written == static_cast<int>(newVoxIndex);
        },
        progress);
    coded.reset();
    if (!status) return status;

    fragTable_ = std::move(updated);
    SetModifiedFlag(true);
    // The new slot pushed every entry back by one slot's width.
    NoteEntryMove(OffsetMap::ShiftFrom(oldFirstEntry, kTalkSlotSize));
    UpdateAllViews();
    std::string moveError;
    if (!MoveHistoryOffsets(voxFile_.GetPath(), OffsetMap::ShiftFrom(oldFirstEntry, kTalkSlotSize),
                            &moveError)) {
        return Status::Failure(voxFile_.GetPath() +
                               ": the fragment was added, but the history's offsets could not be "
                               "moved with the entries: " +
                               moveError);
    }
    return {};
}

}  // namespace vox

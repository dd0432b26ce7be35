#include "talkdata/entrybatch.h"

#include <algorithm>

#include "talkdata/mappedfile.h"
#include "talkdata/slotjournal.h"
#include "talkdata/voxfile.h"

namespace vox {
namespace {

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

uint32_t SlotAt(int voxIndex) {
    return kTalkHeaderSize + kTalkSlotSize * static_cast<uint32_t>(voxIndex);
}

}  // namespace

bool EntryBatch::CanReplaceInPlace(ByteSpan talk, int voxIndex) {
    if (!VoxFile::HasWellFormedDirectory(talk)) return false;
    return voxIndex >= 1 && static_cast<uint32_t>(voxIndex) < VoxFile::SlotCount(talk);
}

bool EntryBatch::Contains(int voxIndex) const {
    return std::any_of(replacements_.begin(), replacements_.end(),
                       [voxIndex](const Replacement& r) { return r.voxIndex == voxIndex; });
}

bool EntryBatch::Add(int voxIndex, uint32_t decodedSize, std::vector<uint8_t> coded, int frag,
                     int voice, TakeSource source) {
    if (Contains(voxIndex)) return false;
    replacements_.push_back(
        {voxIndex, decodedSize, std::move(coded), frag, voice, std::move(source)});
    return true;
}

bool EntryBatch::Apply(MappedFile& file, size_t& slotsWritten, std::string* why) const {
    slotsWritten = 0;
    if (replacements_.empty()) return true;
    uint64_t total = 0;
    for (const Replacement& r : replacements_) {
        if (!CanReplaceInPlace(file.Bytes(), r.voxIndex)) {
            return Refuse(why, "talk entry " + std::to_string(r.voxIndex) +
                                   " is not a slot that can be replaced in place");
        }
        total += kTalkEntryHeaderSize + r.coded.size();
    }
    if (total + file.GetSize() > kMaxTalkSize) return Refuse(why, "the talk file would pass 4 GiB");

    std::vector<uint8_t> blocks;
    blocks.reserve(total);
    std::vector<uint32_t> at;  // each block's place inside blocks
    for (const Replacement& r : replacements_) {
        at.push_back(static_cast<uint32_t>(blocks.size()));
        uint8_t header[kTalkEntryHeaderSize];
        WriteU32(header, r.decodedSize);
        WriteU32(header + 4, static_cast<uint32_t>(r.coded.size()));
        blocks.insert(blocks.end(), header, header + kTalkEntryHeaderSize);
        blocks.insert(blocks.end(), r.coded.begin(), r.coded.end());
    }
    const uint32_t start = file.Append(blocks.data(), static_cast<uint32_t>(blocks.size()));
    if (start == MappedFile::kAppendFailed) return Refuse(why, file.GetError());
    // The entries reach the disk before any slot points at them.
    if (!file.SyncAppended()) return Refuse(why, file.GetError());

    SlotJournal journal;
    journal.talkSize = file.GetSize();
    for (size_t i = 0; i < replacements_.size(); ++i) {
        journal.slots.push_back({static_cast<uint32_t>(replacements_[i].voxIndex), start + at[i]});
    }
    // One slot is written in one store; more need the journal to be all or nothing.
    const bool journaled = journal.slots.size() > 1;
    if (journaled && !WriteSlotJournal(file.GetPath(), journal, why)) return false;
    uint32_t first = 0xFFFFFFFFu;
    uint32_t last = 0;
    // The append remapped the file: every slot is looked up afresh.
    for (const SlotAssignment& assignment : journal.slots) {
        const uint32_t slotAt = SlotAt(static_cast<int>(assignment.voxIndex));
        uint8_t* slot = file.At(slotAt);
        if (slot == nullptr) return Refuse(why, "the talk file changed while it was written");
        WriteU32(slot, assignment.offset);
        ++slotsWritten;
        first = std::min(first, slotAt);
        last = std::max(last, slotAt + kTalkSlotSize);
    }
    if (!file.FlushRange(first, last - first)) return Refuse(why, file.GetError());
    // A journal left behind would be applied again by the next writer, over whatever changed
    // since: its removal failing is a failure.
    if (journaled && !RemoveSlotJournal(file.GetPath(), why)) return false;
    return true;
}

}  // namespace vox

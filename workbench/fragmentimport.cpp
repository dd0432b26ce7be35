// The document's two ways of bringing a new recording into the talk file: re-pointing one slot
// at an appended entry, and rewriting the whole file with one more slot.
#include <vector>

#include "talkdata/talklayout.h"
#include "workbench/document.h"
#include "workbench/talkrewrite.h"

namespace vox {

Status CVoxbenchDoc::ReplaceFragment(int frag, int voice, const uint8_t* coded, uint32_t codedLen,
                                     uint32_t decodedLen) {
    if (coded == nullptr && codedLen != 0) return Status::Failure("no coded bytes given");
    ListRecord record;
    if (!GetFragRecord(frag, record)) {
        return Status::Failure("there is no fragment " + std::to_string(frag));
    }
    const int voxIndex = FindVoxIndex(record, voice);
    if (voxIndex < 0) {
        return Status::Failure("fragment " + std::to_string(frag) + " has no voice " +
                               std::to_string(voice));
    }
    if (voxFile_.At(static_cast<uint32_t>(TalkSlotOffset(static_cast<uint64_t>(voxIndex)))) ==
        nullptr) {
        return Status::Failure("talk entry " + std::to_string(voxIndex) + " of fragment " +
                               std::to_string(frag) + " voice " + std::to_string(voice) +
                               " could not be replaced");
    }
    if (voxIndex == 0) {
        return RewriteWithFirstEntry(voxFile_, writerLock_, {0, decodedLen, coded, codedLen}, {});
    }
    // Refuses a voxIndex beyond the directory: such a "slot" is a word of some entry.
    std::string error;
    if (VoxFile::ReplaceEntry(voxFile_, voxIndex, coded, codedLen, decodedLen, &error)) return {};
    return Status::Failure(voxFile_.GetPath() + ": " + error);
}

Status CVoxbenchDoc::ReplaceEntries(const EntryBatch& batch, size_t& slotsWritten) {
    slotsWritten = 0;
    if (!batch.Contains(0)) {
        std::string error;
        if (batch.Apply(voxFile_, slotsWritten, &error)) return {};
        return Status::Failure(voxFile_.GetPath() + ": " + error);
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
    const Status status = RewriteWithFirstEntry(voxFile_, writerLock_, first, others);
    if (status) slotsWritten = batch.Size();
    return status;
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
    UpdateAllViews();
    return {};
}

}  // namespace vox

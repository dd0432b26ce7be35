#include "talkdata/voxfile.h"

#include <algorithm>
#include <vector>

#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"

namespace vox {
namespace {

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

uint32_t SlotZero(ByteSpan file) { return ReadU32(file.data() + kTalkHeaderSize); }

// A slot pointing into the old file moves with the data. A value so large that +4 would wrap
// points outside any file this system can write; it stays as it is rather than wrap into the
// header.
uint32_t ShiftedSlot(uint32_t value) {
    if (value == 0 || value > 0xFFFFFFFFu - kTalkSlotSize) return value;
    return value + kTalkSlotSize;
}

}  // namespace

uint32_t VoxFile::SlotCount(ByteSpan file) {
    if (file.size() < kTalkHeaderSize + kTalkSlotSize) return 0;
    const uint32_t slot0 = SlotZero(file);
    if (slot0 <= kTalkHeaderSize) return 0;
    // A partial word in front of slot 0's entry still counts as a slot.
    return (slot0 - kTalkHeaderSize + kTalkSlotSize - 1) / kTalkSlotSize;
}

bool VoxFile::HasWellFormedDirectory(ByteSpan file, std::string* why) {
    if (file.size() < kTalkHeaderSize + kTalkSlotSize) {
        return Refuse(why, "the talk file is too short to hold a directory");
    }
    const uint32_t slot0 = SlotZero(file);
    if (slot0 < kTalkHeaderSize + kTalkSlotSize || (slot0 - kTalkHeaderSize) % kTalkSlotSize != 0) {
        return Refuse(why, "slot 0 (" + std::to_string(slot0) +
                               ") is not 12 plus a multiple of 4: the directory has no clear end");
    }
    if (slot0 >= file.size()) {
        return Refuse(why, "slot 0 (" + std::to_string(slot0) +
                               ") lies beyond the end of the talk file (" +
                               std::to_string(file.size()) + " bytes)");
    }
    return true;
}

bool VoxFile::ReplaceEntry(MappedFile& file, int voxIndex, const uint8_t* coded, uint32_t codedLen,
                           uint32_t decodedLen, std::string* why) {
    const ByteSpan bytes = file.Bytes();
    if (bytes.empty()) return Refuse(why, "the talk file is not open");
    if (coded == nullptr && codedLen != 0) return Refuse(why, "no coded bytes given");
    // Slot 0 also marks where the directory ends: re-pointing it would turn everything up to
    // the new entry into "slots". A slot that reaches into slot 0's entry is really a word of
    // that entry.
    const uint64_t slot =
        kTalkHeaderSize + uint64_t{kTalkSlotSize} * static_cast<uint64_t>(voxIndex);
    if (voxIndex < 1 || voxIndex >= static_cast<int64_t>(SlotCount(bytes)) ||
        slot + kTalkSlotSize > SlotZero(bytes) || slot + kTalkSlotSize > bytes.size()) {
        return Refuse(why, "voxIndex " + std::to_string(voxIndex) +
                               " is not a slot that can be replaced in place");
    }
    if (uint64_t{codedLen} + kTalkEntryHeaderSize > kMaxTalkSize) {
        return Refuse(why, "the recording is too large");
    }
    std::vector<uint8_t> block(kTalkEntryHeaderSize + size_t{codedLen});
    WriteU32(block.data(), decodedLen);
    WriteU32(block.data() + 4, codedLen);
    if (codedLen != 0) std::copy(coded, coded + codedLen, block.begin() + kTalkEntryHeaderSize);

    const uint32_t offset = file.Append(block.data(), static_cast<uint32_t>(block.size()));
    if (offset == MappedFile::kAppendFailed) return Refuse(why, file.GetError());
    // The entry reaches the disk before the slot points at it: a power cut in between loses
    // the replace, never the recording the slot holds.
    if (!file.SyncAppended()) return Refuse(why, file.GetError());
    // The append remapped the file: the slot is looked up afresh.
    uint8_t* slotAt = file.At(static_cast<uint32_t>(slot));
    if (slotAt == nullptr) return Refuse(why, "the talk file changed while it was written");
    WriteU32(slotAt, offset);
    if (!file.FlushRange(static_cast<uint32_t>(slot), kTalkSlotSize)) {
        return Refuse(why, file.GetError());
    }
    return true;
}

bool VoxFile::IsEntryAt(ByteSpan file, uint32_t offset, std::string* why) {
    if (!HasWellFormedDirectory(file, why)) return false;
    if (offset < SlotZero(file)) {
        return Refuse(why, "byte " + std::to_string(offset) + " lies inside the directory");
    }
    if (uint64_t{offset} + kTalkEntryHeaderSize > file.size() ||
        TalkEntryEnd(offset, ReadU32(file.data() + offset + 4)) > file.size()) {
        return Refuse(why, "no whole entry begins at byte " + std::to_string(offset));
    }
    return true;
}

bool VoxFile::PointSlot(MappedFile& file, int voxIndex, uint32_t offset, std::string* why) {
    const ByteSpan bytes = file.Bytes();
    if (!IsEntryAt(bytes, offset, why)) return false;
    const uint64_t slot = TalkSlotOffset(static_cast<uint64_t>(std::max(voxIndex, 0)));
    const bool inPlace = voxIndex >= 1 && voxIndex < static_cast<int64_t>(SlotCount(bytes)) &&
                         slot + kTalkSlotSize <= SlotZero(bytes);
    if (!inPlace) {
        return Refuse(why, "voxIndex " + std::to_string(voxIndex) +
                               " is not a slot that can be re-pointed in place");
    }
    uint8_t* slotAt = file.At(static_cast<uint32_t>(slot));
    if (slotAt == nullptr) return Refuse(why, "the talk file changed while it was written");
    WriteU32(slotAt, offset);
    if (!file.FlushRange(static_cast<uint32_t>(slot), kTalkSlotSize)) {
        return Refuse(why, file.GetError());
    }
    return true;
}

bool VoxFile::WriteWithNewSlot(ByteSpan old, const uint8_t* coded, uint32_t codedLen,
                               uint32_t decodedLen, ByteSink& out, int& newVoxIndex,
                               std::string* why) {
    if (!HasWellFormedDirectory(old, why)) return false;
    if (coded == nullptr && codedLen != 0) return Refuse(why, "no coded bytes given");
    const uint32_t slots = SlotCount(old);
    if (slots > static_cast<uint32_t>(kMaxVoxIndex)) {
        return Refuse(why, "the talk file already has " + std::to_string(slots) +
                               " slots, the most a fragment can refer to");
    }
    const uint64_t newSize = old.size() + uint64_t{kTalkSlotSize} + kTalkEntryHeaderSize + codedLen;
    if (newSize > kMaxTalkSize) return Refuse(why, "the talk file would pass 4 GiB");

    const uint32_t slot0 = SlotZero(old);
    std::vector<uint8_t> front(kTalkHeaderSize + (size_t{slots} + 1) * kTalkSlotSize);
    std::copy(old.begin(), old.begin() + kTalkHeaderSize, front.begin());
    for (uint32_t i = 0; i < slots; ++i) {
        const uint8_t* from = old.data() + kTalkHeaderSize + size_t{i} * kTalkSlotSize;
        WriteU32(front.data() + kTalkHeaderSize + size_t{i} * kTalkSlotSize,
                 ShiftedSlot(ReadU32(from)));
    }
    WriteU32(front.data() + kTalkHeaderSize + size_t{slots} * kTalkSlotSize,
             static_cast<uint32_t>(old.size() + kTalkSlotSize));

    uint8_t entryHeader[kTalkEntryHeaderSize];
    WriteU32(entryHeader, decodedLen);
    WriteU32(entryHeader + 4, codedLen);
    const bool written = out.Write(front.data(), front.size()) &&
                         out.Write(old.data() + slot0, old.size() - slot0) &&
                         out.Write(entryHeader, sizeof entryHeader) &&
                         (codedLen == 0 || out.Write(coded, codedLen));
    if (!written) return Refuse(why, "the new talk file could not be written");
    newVoxIndex = static_cast<int>(slots);
    return true;
}

namespace {

// A slot that points at or behind the first entry moves with the data behind it; one so large
// that it would wrap stays beyond the end of any file, as it was.
uint32_t MovedSlot(uint32_t value, uint32_t firstEntry, uint32_t distance) {
    if (value == 0 || value < firstEntry) return value;
    return value > 0xFFFFFFFFu - distance ? 0xFFFFFFFFu : value + distance;
}

bool WriteEntry(ByteSink& out, const VoxFile::NewEntry& entry) {
    uint8_t header[kTalkEntryHeaderSize];
    WriteU32(header, entry.decodedSize);
    WriteU32(header + 4, entry.codedLen);
    return out.Write(header, sizeof header) &&
           (entry.codedLen == 0 || out.Write(entry.coded, entry.codedLen));
}

}  // namespace

bool VoxFile::WriteWithNewFirstEntry(ByteSpan old, const NewEntry& first,
                                     const std::vector<NewEntry>& others, ByteSink& out,
                                     std::string* why) {
    if (!HasWellFormedDirectory(old, why)) return false;
    const uint32_t firstEntry = SlotZero(old);
    uint64_t newSize = old.size() + uint64_t{kTalkEntryHeaderSize} + first.codedLen;
    for (const NewEntry& entry : others) {
        const uint64_t slot =
            kTalkHeaderSize + uint64_t{kTalkSlotSize} * static_cast<uint64_t>(entry.voxIndex);
        if (entry.voxIndex < 1 || slot + kTalkSlotSize > firstEntry) {
            return Refuse(why, "voxIndex " + std::to_string(entry.voxIndex) +
                                   " is not a slot that can be replaced in place");
        }
        newSize += kTalkEntryHeaderSize + uint64_t{entry.codedLen};
    }
    if (newSize > kMaxTalkSize) return Refuse(why, "the talk file would pass 4 GiB");
    if ((first.coded == nullptr && first.codedLen != 0)) return Refuse(why, "no coded bytes given");

    const uint32_t distance = kTalkEntryHeaderSize + first.codedLen;
    std::vector<uint8_t> front(old.begin(), old.begin() + firstEntry);
    for (uint32_t at = kTalkHeaderSize + kTalkSlotSize; at < firstEntry; at += kTalkSlotSize) {
        WriteU32(front.data() + at, MovedSlot(ReadU32(front.data() + at), firstEntry, distance));
    }
    uint64_t appendAt = old.size() + uint64_t{distance};
    for (const NewEntry& entry : others) {
        WriteU32(
            front.data() + kTalkHeaderSize + kTalkSlotSize * static_cast<uint32_t>(entry.voxIndex),
            static_cast<uint32_t>(appendAt));
        appendAt += kTalkEntryHeaderSize + uint64_t{entry.codedLen};
    }
    bool written = out.Write(front.data(), front.size()) && WriteEntry(out, first) &&
                   out.Write(old.data() + firstEntry, old.size() - firstEntry);
    for (size_t i = 0; written && i < others.size(); ++i) written = WriteEntry(out, others[i]);
    if (!written) return Refuse(why, "the new talk file could not be written");
    return true;
}

uint32_t VoxFile::EntrySize(ByteSpan file, uint32_t offset) {
    return kTalkEntryHeaderSize + ReadU32(file.data() + offset + 4);
}

bool VoxFile::WriteWithEntryFirst(ByteSpan old, uint32_t entry, ByteSink& out, std::string* why) {
    if (!IsEntryAt(old, entry, why)) return false;
    const uint32_t firstEntry = SlotZero(old);
    if (entry == firstEntry) return Refuse(why, "the entry is the first one already");
    const uint32_t size = EntrySize(old, entry);
    const OffsetMap moved = OffsetMap::EntryToFront(firstEntry, entry, size);
    std::vector<uint8_t> front(old.begin(), old.begin() + firstEntry);
    for (uint32_t at = kTalkHeaderSize + kTalkSlotSize; at < firstEntry; at += kTalkSlotSize) {
        const uint32_t value = ReadU32(front.data() + at);
        if (value != 0) WriteU32(front.data() + at, moved(value));
    }
    const bool written = out.Write(front.data(), front.size()) &&
                         out.Write(old.data() + entry, size) &&
                         out.Write(old.data() + firstEntry, entry - firstEntry) &&
                         out.Write(old.data() + entry + size, old.size() - entry - size);
    if (!written) return Refuse(why, "the new talk file could not be written");
    return true;
}

std::string TemporaryTalkPath(const std::string& talkPath) {
    if (talkPath.empty() || talkPath.back() == '$') return "";
    std::string temp = talkPath;
    temp.back() = '$';
    return temp;
}

}  // namespace vox

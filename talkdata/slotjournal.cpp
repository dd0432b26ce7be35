#include "talkdata/slotjournal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "talkdata/voxfile.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

constexpr uint8_t kMagic[4] = {'V', 'X', 'J', '1'};
constexpr size_t kFixedSize = 4 + 4 + 4;  // magic, talk size, count
constexpr size_t kPairSize = 8;
constexpr size_t kChecksumSize = 4;

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

uint32_t Fnv1a(ByteSpan bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 16777619u;
    return hash;
}

// Whether every slot lies in the directory and every entry inside the file.
bool FitsTalkFile(ByteSpan talk, const SlotJournal& journal, std::string* why) {
    if (!VoxFile::HasWellFormedDirectory(talk, why)) return false;
    if (talk.size() < journal.talkSize) {
        return Refuse(why, "the talk file is shorter than when the journal was written");
    }
    const uint32_t slots = VoxFile::SlotCount(talk);
    for (const SlotAssignment& slot : journal.slots) {
        const uint64_t entryEnd = uint64_t{slot.offset} + kTalkEntryHeaderSize;
        if (slot.voxIndex < 1 || slot.voxIndex >= slots || entryEnd > talk.size() ||
            entryEnd + ReadU32(talk.data() + slot.offset + 4) > talk.size()) {
            return Refuse(why, "slot " + std::to_string(slot.voxIndex) + " -> byte " +
                                   std::to_string(slot.offset) + " does not fit the talk file");
        }
    }
    return true;
}

}  // namespace

std::string SlotJournalPath(const std::string& talkPath) { return talkPath + ".journal"; }

std::vector<uint8_t> SlotJournalBytes(const SlotJournal& journal) {
    std::vector<uint8_t> bytes(kFixedSize + kPairSize * journal.slots.size() + kChecksumSize);
    std::copy(std::begin(kMagic), std::end(kMagic), bytes.begin());
    WriteU32(bytes.data() + 4, journal.talkSize);
    WriteU32(bytes.data() + 8, static_cast<uint32_t>(journal.slots.size()));
    uint8_t* at = bytes.data() + kFixedSize;
    for (const SlotAssignment& slot : journal.slots) {
        WriteU32(at, slot.voxIndex);
        WriteU32(at + 4, slot.offset);
        at += kPairSize;
    }
    WriteU32(at, Fnv1a(ByteSpan(bytes.data(), bytes.size() - kChecksumSize)));
    return bytes;
}

bool ParseSlotJournal(ByteSpan bytes, SlotJournal& out, std::string* why) {
    if (bytes.size() < kFixedSize + kChecksumSize ||
        !std::equal(kMagic, kMagic + 4, bytes.begin())) {
        return Refuse(why, "not a slot journal");
    }
    const uint64_t count = ReadU32(bytes.data() + 8);
    if (bytes.size() != kFixedSize + kPairSize * count + kChecksumSize) {
        return Refuse(why, "the journal's length does not match its count");
    }
    const size_t body = bytes.size() - kChecksumSize;
    if (ReadU32(bytes.data() + body) != Fnv1a(bytes.first(body))) {
        return Refuse(why, "the journal's checksum does not match");
    }
    SlotJournal journal;
    journal.talkSize = ReadU32(bytes.data() + 4);
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* at = bytes.data() + kFixedSize + kPairSize * i;
        journal.slots.push_back({ReadU32(at), ReadU32(at + 4)});
    }
    out = std::move(journal);
    return true;
}

bool WriteSlotJournal(const std::string& talkPath, const SlotJournal& journal, std::string* why) {
    std::string error;
    if (WriteFileSafely(SlotJournalPath(talkPath), SlotJournalBytes(journal), &error)) return true;
    return Refuse(why, SlotJournalPath(talkPath) + ": " + error);
}

bool RemoveSlotJournal(const std::string& talkPath, std::string* why) {
    const std::string path = SlotJournalPath(talkPath);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Refuse(why, path + ": " + std::strerror(errno));
    }
    SyncFolderOf(path);
    return true;
}

bool HasSlotJournal(const std::string& talkPath) {
    struct stat info {};
    return lstat(SlotJournalPath(talkPath).c_str(), &info) == 0;
}

bool ApplySlotJournal(MappedFile& talk, const SlotJournal& journal, std::string* why) {
    std::string problem;
    if (!FitsTalkFile(talk.Bytes(), journal, &problem)) {
        return Refuse(why, SlotJournalPath(talk.GetPath()) + ": " + problem +
                               "; move it away to open the database for writing");
    }
    uint32_t first = 0xFFFFFFFFu;
    uint32_t last = 0;
    for (const SlotAssignment& slot : journal.slots) {
        const uint32_t at = kTalkHeaderSize + kTalkSlotSize * slot.voxIndex;
        WriteU32(talk.At(at), slot.offset);
        first = std::min(first, at);
        last = std::max(last, at + kTalkSlotSize);
    }
    if (!journal.slots.empty() && !talk.FlushRange(first, last - first)) {
        return Refuse(why, talk.GetPath() + ": " + talk.GetError());
    }
    return RemoveSlotJournal(talk.GetPath(), why);
}

bool CompleteInterruptedBatch(const std::string& talkPath, std::string* why) {
    if (!HasSlotJournal(talkPath)) return true;
    const std::string path = SlotJournalPath(talkPath);
    std::vector<uint8_t> bytes;
    std::string error;
    SlotJournal journal;
    if (!ReadWholeFile(path, bytes, error) || !ParseSlotJournal(bytes, journal, &error)) {
        return Refuse(why, path + ": " + error + "; move it away to open the database for writing");
    }
    MappedFile talk;
    if (!talk.Open(talkPath, 1)) return Refuse(why, talkPath + ": " + talk.GetError());
    return ApplySlotJournal(talk, journal, why);
}

}  // namespace vox

// The talk file: entry lookup, the directory checks and the one-slot rewrite over any bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "talkdata/safefile.h"
#include "talkdata/voxfile.h"
#include "tests/fuzz/fuzzcheck.h"

namespace vox::fuzz {
namespace {

constexpr int kWalkedSlots = 4096;
constexpr size_t kCodedBytes = 9;  // the file's last bytes become the added entry

class MemorySink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
        return true;
    }
    std::vector<uint8_t> out;
};

bool InsideFile(ByteSpan file, const VoxEntry& entry) {
    const uint8_t* end = file.data() + file.size();
    return entry.data >= file.data() + 8 && entry.data <= end &&
           entry.codedSize <= static_cast<size_t>(end - entry.data);
}

bool SameEntry(const VoxEntry& a, const VoxEntry& b) {
    return a.decodedSize == b.decodedSize && a.codedSize == b.codedSize &&
           std::equal(a.data, a.data + a.codedSize, b.data);
}

int WalkedSlots(ByteSpan file) {
    const size_t inFile = file.size() > VoxFile::kHeaderSize ? (file.size() - 12) / 4 : 0;
    return static_cast<int>(std::min<size_t>(inFile + 2, kWalkedSlots));
}

void CheckLookups(ByteSpan file) {
    VoxEntry entry;
    Require(!VoxFile::GetVoxEntry(file, -1, entry), "no entry -1");
    for (int index = 0; index < WalkedSlots(file); ++index) {
        if (!VoxFile::GetVoxEntry(file, index, entry)) continue;
        Require(InsideFile(file, entry), "an entry lies wholly inside the file");
    }
    const uint32_t slots = VoxFile::SlotCount(file);
    if (file.size() >= 16 && ReadU32(file.data() + 12) > 12) {
        Require(slots == (ReadU32(file.data() + 12) - 12 + 3) / 4, "slot count from slot 0");
    } else {
        Require(slots == 0, "no slots without a slot 0 past the header");
    }
}

// Every entry that lies behind the directory keeps its bytes, under its old index, and the new
// entry is found under the index the rewrite names.
void CheckNewSlot(ByteSpan old) {
    const bool wellFormed = VoxFile::HasWellFormedDirectory(old);
    const size_t codedLen = std::min(old.size(), kCodedBytes);
    const uint8_t* coded = old.data() + old.size() - codedLen;
    MemorySink sink;
    int newIndex = -1;
    const bool written = VoxFile::WriteWithNewSlot(old, coded, static_cast<uint32_t>(codedLen),
                                                   0x01020304, sink, newIndex);
    Require(written || sink.out.empty(), "a refused rewrite writes nothing");
    Require(!written || wellFormed, "only a well-formed directory is rewritten");
    if (!written) return;
    const ByteSpan fresh(sink.out);
    const uint32_t slots = VoxFile::SlotCount(old);
    Require(newIndex == static_cast<int>(slots), "the new entry gets the old slot count");
    Require(fresh.size() == old.size() + 4 + 8 + codedLen, "the file grows by slot and entry");
    Require(std::equal(old.begin(), old.begin() + 12, fresh.begin()), "the header is kept");
    Require(VoxFile::SlotCount(fresh) == slots + 1, "the directory grows by one slot");
    VoxEntry added;
    Require(VoxFile::GetVoxEntry(fresh, newIndex, added), "the new entry is found");
    Require(added.decodedSize == 0x01020304 && added.codedSize == codedLen &&
                std::equal(coded, coded + codedLen, added.data),
            "the new entry holds what was given");
    const uint32_t directoryEnd = ReadU32(old.data() + 12);
    for (uint32_t i = 0; i < slots && i < kWalkedSlots; ++i) {
        VoxEntry before;
        VoxEntry after;
        if (!VoxFile::GetVoxEntry(old, static_cast<int>(i), before)) continue;
        if (ReadU32(old.data() + 12 + 4 * i) < directoryEnd) continue;  // points into the directory
        Require(VoxFile::GetVoxEntry(fresh, static_cast<int>(i), after) && SameEntry(before, after),
                "an old entry reads the same after the rewrite");
    }
}

}  // namespace
}  // namespace vox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vox::ByteSpan file = vox::fuzz::AsSpan(data, size);
    vox::fuzz::CheckLookups(file);
    vox::fuzz::CheckNewSlot(file);
    return 0;
}

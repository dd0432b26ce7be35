// fragFile.bin and evalFile.bin: load, the accessors, the edits and the round trip over any bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "tests/fuzz/fuzzcheck.h"

namespace vox::fuzz {
namespace {

// A forged first offset can declare millions of records; walking the first few finds the same
// faults and keeps every input fast.
constexpr int kWalkedRecords = 256;
constexpr int kWalkedPositions = 20;
// The file's last bytes also steer a few edits, so that a seed is still a plain table file.
constexpr size_t kEditBytes = 25;
constexpr size_t kOpBytes = 5;

int16_t Key(uint32_t word) { return static_cast<int16_t>(word & 0xFFFF); }

// records[0].offset = 8 N, the lists back to back in record order, the words all used.
bool KeepsLayout(const ListTable& table) {
    ListRecord rec;
    if (!table.GetRecord(0, rec)) return false;
    const uint64_t first = rec.offset;
    if (first != uint64_t{ListTable::kRecordSize} * static_cast<uint64_t>(table.GetCount())) {
        return false;
    }
    uint64_t expected = first;
    for (int r = 0; r < table.GetCount(); ++r) {
        table.GetRecord(r, rec);
        if (rec.offset != expected || rec.count < 0) return false;
        expected += uint64_t{ListTable::kWordSize} * static_cast<uint64_t>(rec.count);
    }
    return expected == first + uint64_t{ListTable::kWordSize} *
                                   static_cast<uint64_t>(table.GetElementWordCount());
}

// Meaningful only for a table that keeps the layout: every list ascending without duplicates.
bool ListsAreSorted(const ListTable& table) {
    ListRecord rec;
    for (int r = 0; r < table.GetCount(); ++r) {
        table.GetRecord(r, rec);
        for (int p = 1; p < rec.count; ++p) {
            const auto before =
                Key(table.GetElementWord(static_cast<int>(table.ElementIndex(rec, p - 1))));
            const auto after =
                Key(table.GetElementWord(static_cast<int>(table.ElementIndex(rec, p))));
            if (before >= after) return false;
        }
    }
    return true;
}

void CheckElementIndexes(const ListTable& table, const ListRecord& rec) {
    for (int p = -1; p < kWalkedPositions; ++p) {
        const int64_t index = table.ElementIndex(rec, p);
        Require(index == -1 || (index >= 0 && index < table.GetElementWordCount()),
                "ElementIndex is -1 or inside the element array");
        Require(p >= 0 || index == -1, "a negative position has no element");
    }
}

void CheckFragAccessors(const FragTable& table, const ListRecord& rec) {
    for (int voice = -1; voice <= FragTable::kVoiceCount; ++voice) {
        const int vox = table.FindVoxIndex(rec, voice);
        Require(vox >= -32768 && vox <= 32767, "FindVoxIndex gives a 16-bit value");
        if (voice < 0 || voice >= FragTable::kVoiceCount) {
            Require(vox == -1, "FindVoxIndex refuses a voice outside 0..13");
        }
    }
    for (int p = -1; p <= FragTable::kVoiceCount; ++p) {
        FragElement element;
        if (!table.GetFragElement(rec, p, element)) continue;
        Require(p >= 0 && p < FragTable::kVoiceCount && p < rec.count,
                "GetFragElement gives only positions 0..13 below the count");
        const uint32_t word = table.GetElementWord(static_cast<int>(table.ElementIndex(rec, p)));
        Require(element.voice == Key(word) && element.voxIndex == static_cast<int16_t>(word >> 16),
                "GetFragElement unpacks the word at the position");
    }
}

void CheckEvalAccessors(const EvalTable& table, int number, const ListRecord& rec) {
    for (int p = -1; p < kWalkedPositions; ++p) {
        EvalElement element;
        const bool found = table.GetEvalElement(rec, p, element);
        Require(!found || (p >= 0 && p < rec.count), "GetEvalElement only below the count");
        Require(table.GetEvalFrag(rec, p) == (found ? element.frag : -1),
                "GetEvalFrag agrees with GetEvalElement");
    }
    EvalElement first;
    if (table.GetEvalElement(rec, 0, first)) {
        Require(table.ContainsFrag(number, first.frag), "an eval contains its first frag");
    }
}

struct Op {
    uint8_t kind;
    int record;
    int position;
    int value;
};

Op ReadOp(const uint8_t* p, int count) {
    Op op;
    op.kind = p[0];
    // -1 to count + 1: the boundaries on both sides are the interesting records.
    op.record = static_cast<int>((p[1] | (p[2] << 8)) % (static_cast<unsigned>(count) + 3)) - 1;
    op.position = static_cast<int>(p[3] % 18) - 1;
    op.value = static_cast<int8_t>(p[4]);
    return op;
}

bool ApplyFragOp(FragTable& table, const Op& op) {
    switch (op.kind % 4) {
        case 0:
            return table.InsertElement(op.record, op.value, op.value * 257);
        case 1:
            return table.AddElement(op.record, op.value, op.value * 131);
        case 2:
            return table.SetVoxIndex(op.record, op.position, op.value * 3);
        default:
            return table.RemoveElement(op.record, op.position);
    }
}

bool ApplyEvalOp(EvalTable& table, const Op& op) {
    const EvalElement element{static_cast<int16_t>(op.value), static_cast<int16_t>(op.value * 7)};
    switch (op.kind % 4) {
        case 0:
            return table.InsertElement(op.record, element);
        case 1:
            return table.ChangeElement(op.record, op.position, element) >= 0;
        case 2:
            return table.SetElement(op.record, op.position, element);
        default:
            return table.RemoveElement(op.record, op.position);
    }
}

// A refused edit changes nothing; an accepted one keeps a well-formed table well formed.
template <typename Table, typename Apply>
void CheckEdits(ByteSpan file, Apply apply) {
    Table table;
    if (!table.LoadBytes(file)) return;
    const bool wellFormed = KeepsLayout(table);
    bool sorted = wellFormed && ListsAreSorted(table);
    const size_t tail = file.size() < kEditBytes ? file.size() : kEditBytes;
    const uint8_t* ops = file.data() + file.size() - tail;
    for (size_t at = 0; at + kOpBytes <= tail; at += kOpBytes) {
        const Op op = ReadOp(ops + at, table.GetCount());
        const std::vector<uint8_t> before = table.SaveBytes();
        const bool wasModified = table.IsModified();
        if (!apply(table, op)) {
            Require(table.SaveBytes() == before && table.IsModified() == wasModified,
                    "a refused edit changes nothing");
            continue;
        }
        Require(table.IsModified(), "an accepted edit sets modified");
        // SetElement alone may break the order, by design: only the eval editor calls it.
        if (std::is_same_v<Table, EvalTable> && op.kind % 4 == 2) sorted = false;
        if (wellFormed) Require(KeepsLayout(table), "an edit keeps the layout");
        if (sorted) Require(ListsAreSorted(table), "an edit keeps the lists sorted");
    }
    if (!wellFormed) return;
    const std::vector<uint8_t> saved = table.SaveBytes();
    Table again;
    Require(again.LoadBytes(saved), "an edited well-formed table loads again");
    Require(again.SaveBytes() == saved, "an edited table saves as it loaded");
}

// Load, save, load, save: equal, and for a first offset that is a multiple of 8 the first save
// is the file itself cut to whole words. Another first offset moves the element area away from
// where the records' offsets say (a layout the reader keeps as it finds it), so only the first
// load is checked then.
void CheckRoundTrip(ByteSpan file, const ListTable& table) {
    ListRecord first;
    table.GetRecord(0, first);
    if (first.offset % ListTable::kRecordSize != 0) return;
    const std::vector<uint8_t> saved = table.SaveBytes();
    const size_t wholeWords = first.offset + (file.size() - first.offset) / 4 * 4;
    Require(saved.size() == wholeWords && std::equal(saved.begin(), saved.end(), file.begin()),
            "save reproduces the loaded file up to its last whole word");
    FragTable again;
    Require(again.LoadBytes(saved), "a saved table loads again");
    Require(again.SaveBytes() == saved, "load, save, load, save: equal");
}

}  // namespace
}  // namespace vox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vox;
    using namespace vox::fuzz;
    const ByteSpan file = AsSpan(data, size);
    FragTable frags;
    if (!frags.LoadBytes(file)) {
        Require(frags.GetCount() == 0 && !frags.GetError().empty(),
                "a refused file leaves no records and says why");
        return 0;
    }
    Require(frags.GetCount() >= 1 && !frags.IsModified(), "a loaded table has a record");
    EvalTable evals;
    Require(evals.LoadBytes(file), "both tables load the same layout");
    const int walked = frags.GetCount() < kWalkedRecords ? frags.GetCount() : kWalkedRecords;
    for (int r = 0; r < walked; ++r) {
        ListRecord rec;
        Require(frags.GetRecord(r, rec), "GetRecord inside the count");
        CheckElementIndexes(frags, rec);
        CheckFragAccessors(frags, rec);
        CheckEvalAccessors(evals, r, rec);
    }
    CheckRoundTrip(file, frags);
    CheckEdits<FragTable>(file, ApplyFragOp);
    CheckEdits<EvalTable>(file, ApplyEvalOp);
    return 0;
}

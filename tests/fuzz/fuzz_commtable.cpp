// commFile.bin: the count, records and entries over any bytes, and the three cross-reference
// scans over a comm file and an eval file.
//
// Input: a u16 (little-endian) giving the length of the comm file, the comm file, then the
// eval file.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lookup/crossrefsearch.h"
#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"
#include "tests/fuzz/fuzzcheck.h"

namespace vox::fuzz {
namespace {

constexpr int kEntryHeadroom = 3;  // positions past `elements` that must still read safely

void CheckRecords(ByteSpan file) {
    const int count = CommTable::CountFrom(file);
    if (file.size() < CommTable::kRecordSize) {
        Require(count == 1, "a file without a whole record counts 1 comm");
    } else {
        Require(count == static_cast<int>(ReadU32(file.data() + 10) / CommTable::kRecordSize),
                "the count is record 0's listOffset / 14");
    }
    CommRecord rec;
    Require(!CommTable::RecordAt(file, count, -1, rec), "no comm -1");
    Require(!CommTable::RecordAt(file, count, count, rec), "no comm at the count");
    // Records past the end of the file all fail alike: walking to the count could take
    // hundreds of millions of steps for a forged listOffset.
    const int walked = std::min<int64_t>(count, file.size() / CommTable::kRecordSize + 2);
    for (int comm = 0; comm < walked; ++comm) {
        const uint64_t end = uint64_t{CommTable::kRecordSize} * (static_cast<uint64_t>(comm) + 1);
        const bool read = CommTable::RecordAt(file, count, comm, rec);
        Require(read == (end <= file.size()), "a record reads exactly when it lies in the file");
        if (!read) continue;
        const uint8_t* p = file.data() + end - CommTable::kRecordSize;
        Require(rec.elements == p[8] && rec.listOffset == ReadU32(p + 10),
                "the packed record is copied field by field");
        for (int position = -kEntryHeadroom; position < rec.elements + kEntryHeadroom; ++position) {
            const int64_t at = int64_t{rec.listOffset} + 2 * int64_t{position};
            // A list that starts outside the file has no entries, not even at a negative
            // position that would land inside it.
            const bool inside = rec.listOffset < file.size() && at >= 0 &&
                                at + 2 <= static_cast<int64_t>(file.size());
            const int16_t expected = inside ? ReadI16(file.data() + at) : int16_t{0};
            Require(CommTable::EntryAt(file, rec, position) == expected,
                    "an entry is the i16 at listOffset + 2 position, or 0");
        }
    }
}

// The comm table only opens files; one memory file, rewritten for every input, serves it.
bool OpenFromBytes(CommTable& table, ByteSpan bytes) {
    static const int fd = memfd_create("commFile.bin", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0) return false;
    if (pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        return false;
    }
    return table.Open("/proc/self/fd/" + std::to_string(fd));
}

bool Ascending(const std::vector<int>& found, int count) {
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] < 0 || found[i] >= count) return false;
        if (i > 0 && found[i - 1] >= found[i]) return false;
    }
    return true;
}

bool HoldsEntry(const CommTable& comms, int comm, int n) {
    CommRecord rec;
    if (!comms.GetCommRecord(comm, rec)) return false;
    for (int j = 0; j < rec.elements; ++j) {
        if (-static_cast<int>(comms.GetCommEntry(rec, j)) == n) return true;
    }
    return false;
}

void CheckScans(const CommTable& comms, const EvalTable& evals, int n) {
    const std::vector<int> evalHits = FindFragInEval(evals, n);
    Require(Ascending(evalHits, evals.GetCount()), "eval matches ascend inside the table");
    for (int eval : evalHits) Require(evals.ContainsFrag(eval, n), "a listed eval speaks n");

    const std::vector<int> entryHits = FindEvalInComm(comms, n);
    Require(Ascending(entryHits, comms.GetCount()), "comm matches ascend inside the table");
    size_t next = 0;
    for (int comm = 0; comm < comms.GetCount(); ++comm) {
        const bool listed = next < entryHits.size() && entryHits[next] == comm;
        Require(listed == HoldsEntry(comms, comm, n), "exactly the comms holding -n are listed");
        if (listed) ++next;
    }

    const std::vector<int> fragHits = FindFragInComm(comms, evals, n);
    Require(Ascending(fragHits, comms.GetCount()), "fragment matches ascend inside the table");
}

}  // namespace
}  // namespace vox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vox;
    using namespace vox::fuzz;
    if (size < 2) return 0;
    const size_t commSize = std::min<size_t>(ReadU16(data), size - 2);
    const ByteSpan commFile = AsSpan(data + 2, commSize);
    const ByteSpan evalFile = AsSpan(data + 2 + commSize, size - 2 - commSize);
    CheckRecords(commFile);

    CommTable comms;
    if (!OpenFromBytes(comms, commFile)) return 0;  // an empty file cannot be mapped
    Require(comms.GetCount() == CommTable::CountFrom(commFile), "Open counts as CountFrom");
    // A forged count makes every scan walk hundreds of millions of absent records; the result
    // is the same as for the comms that are there, only slow.
    if (static_cast<uint64_t>(comms.GetCount()) > commSize / CommTable::kRecordSize + 1) return 0;
    EvalTable evals;
    evals.LoadBytes(evalFile);  // a refused eval file leaves an empty table, which is fine here
    CommRecord first;
    int entry = 0;
    if (comms.GetCommRecord(0, first)) entry = comms.GetCommEntry(first, 0);
    for (int n : {entry, -entry, 0, 1}) CheckScans(comms, evals, n);
    return 0;
}

#include "lookup/crossrefsearch.h"

#include <algorithm>

#include "talkdata/bytes.h"
#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"

namespace vox {

namespace {

// A comm's list as the table reads it: the entries wholly inside the file, and how many more
// the record claims past the file's end (each of which reads as 0). One range check per
// record, then a plain loop over its bytes.
struct CommList {
    ByteSpan inFile;
    int pastEnd = 0;
};

CommList ListOf(ByteSpan file, const CommRecord& record) {
    CommList list;
    if (record.listOffset >= file.size()) {
        list.pastEnd = record.elements;
        return list;
    }
    const size_t room = (file.size() - record.listOffset) / 2;
    const size_t inFile = std::min<size_t>(record.elements, room);
    list.inFile = file.subspan(record.listOffset, 2 * inFile);
    list.pastEnd = record.elements - static_cast<int>(inFile);
    return list;
}

template <typename Match>
bool AnyEntry(const CommList& list, Match match) {
    for (size_t at = 0; at < list.inFile.size(); at += 2) {
        if (match(ReadI16(list.inFile.data() + at))) return true;
    }
    return list.pastEnd > 0 && match(int16_t{0});
}

template <typename Match>
std::vector<int> ScanComms(const CommTable& comms, Match match) {
    std::vector<int> matches;
    const ByteSpan file = comms.Bytes();
    CommRecord record;
    for (int comm = 0; comm < comms.GetCount(); ++comm) {
        // Records lie back to back from the start of the file: once one cannot be read, no
        // later one can, however many a forged count claims. A file cut short under the scan
        // reads as zeros from then on, which must not count as entries.
        if (comms.IsDamaged() || !CommTable::RecordAt(file, comms.GetCount(), comm, record)) break;
        if (AnyEntry(ListOf(file, record), match)) matches.push_back(comm);
    }
    return matches;
}

}  // namespace

std::vector<int> FindFragInEval(const EvalTable& evals, int n) {
    std::vector<int> matches;
    for (int eval = 0; eval < evals.GetCount(); ++eval) {
        if (evals.ContainsFrag(eval, n)) matches.push_back(eval);
    }
    return matches;
}

std::vector<int> FindEvalInComm(const CommTable& comms, int n) {
    return ScanComms(comms, [n](int16_t entry) { return -static_cast<int>(entry) == n; });
}

std::vector<int> FindFragInComm(const CommTable& comms, const EvalTable& evals, int n) {
    return ScanComms(comms, [&evals, n](int16_t entry) {
        return entry < 0 ? evals.ContainsFrag(-entry, n) : entry == n;
    });
}

}  // namespace vox

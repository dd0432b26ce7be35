#include "talkdata/commtable.h"

namespace vox {

bool CommTable::Open(const std::string& path) {
    count_ = 0;
    if (!file_.Open(path, 0)) return false;
    count_ = CountFrom(file_.Bytes());
    return true;
}

void CommTable::Close() {
    file_.Close();
    count_ = 0;
}

bool CommTable::GetCommRecord(int comm, CommRecord& out) const {
    return RecordAt(file_.Bytes(), count_, comm, out);
}

int16_t CommTable::GetCommEntry(const CommRecord& rec, int position) const {
    return EntryAt(file_.Bytes(), rec, position);
}

int CommTable::CountFrom(ByteSpan file) {
    CommRecord first;
    if (!RecordAt(file, 1, 0, first)) return 1;
    return static_cast<int>(first.listOffset / kRecordSize);
}

bool CommTable::RecordAt(ByteSpan file, int count, int comm, CommRecord& out) {
    if (comm < 0 || comm >= count) return false;
    const uint64_t start = uint64_t{kRecordSize} * static_cast<uint64_t>(comm);
    if (start + kRecordSize > file.size()) return false;
    const uint8_t* p = file.data() + start;
    out.reserved = ReadU16(p);
    out.warp = ReadI16(p + 2);
    out.priority = p[4];
    out.position = p[5];
    out.bullseye = ReadI16(p + 6);
    out.elements = p[8];
    out.evals = p[9];
    out.listOffset = ReadU32(p + 10);
    return true;
}

int16_t CommTable::EntryAt(ByteSpan file, const CommRecord& rec, int position) {
    if (rec.listOffset >= file.size()) return 0;
    const int64_t at = int64_t{rec.listOffset} + 2 * int64_t{position};
    if (at < 0 || at + 2 > static_cast<int64_t>(file.size())) return 0;
    return ReadI16(file.data() + at);
}

}  // namespace vox

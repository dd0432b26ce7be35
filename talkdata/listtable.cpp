#include "talkdata/listtable.h"

#include <algorithm>
#include <limits>

#include "talkdata/safefile.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;

ListRecord ReadRecord(const uint8_t* p) {
    ListRecord rec;
    rec.number = ReadU16(p);
    rec.count = ReadI16(p + 2);
    rec.offset = ReadU32(p + 4);
    return rec;
}

}  // namespace

ListTable::~ListTable() = default;

bool ListTable::Load(const std::string& path) {
    Clear();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error_)) return false;
    return LoadBytes(bytes);
}

bool ListTable::LoadBytes(ByteSpan bytes) {
    Clear();
    error_.clear();
    if (bytes.size() < kRecordSize) return Fail("file is shorter than one record");
    const uint32_t firstOffset = ReadU32(bytes.data() + 4);
    const size_t recordCount = firstOffset / kRecordSize;
    if (recordCount == 0) {
        return Fail("first offset " + std::to_string(firstOffset) + " is below 8");
    }
    // Checked before the arrays are sized, so that a huge offset never allocates more than
    // the file can back.
    if (recordCount * kRecordSize > bytes.size()) return Fail("file ends inside the record area");
    if (firstOffset > bytes.size()) {
        return Fail("first offset " + std::to_string(firstOffset) +
                    " lies beyond the end of the file (" + std::to_string(bytes.size()) +
                    " bytes)");
    }
    // The words are read from right after the last record, not from the first offset: with
    // an offset that is no multiple of 8 the two differ, and the file's own layout wins.
    const size_t wordCount = (bytes.size() - firstOffset) / kWordSize;
    if (!records_.SetSize(recordCount) || !elements_.SetSize(wordCount)) {
        Clear();
        return Fail("out of memory");
    }
    for (size_t r = 0; r < recordCount; ++r) {
        records_[r] = ReadRecord(bytes.data() + r * kRecordSize);
    }
    const uint8_t* words = bytes.data() + recordCount * kRecordSize;
    for (size_t w = 0; w < wordCount; ++w) elements_[w] = ReadU32(words + w * kWordSize);
    return true;
}

std::vector<uint8_t> ListTable::SaveBytes() const {
    std::vector<uint8_t> bytes(records_.GetSize() * kRecordSize + elements_.GetSize() * kWordSize);
    uint8_t* p = bytes.data();
    for (const ListRecord& rec : records_) {
        WriteU16(p, rec.number);
        WriteU16(p + 2, static_cast<uint16_t>(rec.count));
        WriteU32(p + 4, rec.offset);
        p += kRecordSize;
    }
    for (uint32_t word : elements_) {
        WriteU32(p, word);
        p += kWordSize;
    }
    return bytes;
}

bool ListTable::Save(const std::string& path) {
    error_.clear();
    const std::vector<uint8_t> bytes = SaveBytes();
    if (!WriteFileSafely(path, bytes, &error_)) return false;
    modified_ = false;
    return true;
}

void ListTable::Clear() {
    records_.SetSize(0);
    elements_.SetSize(0);
    modified_ = false;
}

bool ListTable::InsertSorted(int record, uint32_t word) {
    if (record < 0 || record >= GetCount()) return false;
    ListRecord& rec = records_[static_cast<size_t>(record)];
    if (rec.count == std::numeric_limits<int16_t>::max()) return false;
    if (!FitsInFile(records_.GetSize(), elements_.GetSize() + 1)) return false;
    const int64_t distance = int64_t{rec.offset} - int64_t{records_[0].offset};
    const int64_t wordCount = static_cast<int64_t>(elements_.GetSize());
    // A list that starts outside the element array (a file that broke the layout) has no
    // place to insert at; growing the array up to such an offset could take gigabytes.
    if (distance < 0 || distance / static_cast<int64_t>(kWordSize) > wordCount) return false;

    const auto key = static_cast<int16_t>(word & 0xFFFF);
    int64_t pos = distance / static_cast<int64_t>(kWordSize);
    for (int i = 0; i < rec.count && pos < wordCount; ++i) {
        const auto existing = static_cast<int16_t>(elements_[static_cast<size_t>(pos)] & 0xFFFF);
        if (existing == key) return false;
        if (existing > key) break;
        ++pos;
    }
    if (!elements_.InsertAt(static_cast<size_t>(pos), word)) return false;
    for (size_t r = static_cast<size_t>(record) + 1; r < records_.GetSize(); ++r) {
        records_[r].offset += kWordSize;
    }
    ++rec.count;
    modified_ = true;
    return true;
}

bool ListTable::AppendRecord(uint16_t number, uint32_t word) {
    if (!FitsInFile(records_.GetSize() + 1, elements_.GetSize() + 1)) return false;
    // An empty table has no record 0 to take the element area's start from; its element
    // area starts right after the record area, at 0 before the new record is counted.
    const uint32_t firstOffset = records_.IsEmpty() ? 0 : records_[0].offset;
    ListRecord rec;
    rec.number = number;
    rec.count = 1;
    rec.offset = firstOffset + static_cast<uint32_t>(elements_.GetSize() * kWordSize);
    if (!records_.Add(rec)) return false;
    if (!elements_.Add(word)) {
        records_.SetSize(records_.GetSize() - 1);
        return false;
    }
    for (ListRecord& each : records_) each.offset += kRecordSize;
    modified_ = true;
    return true;
}

bool ListTable::RemoveElement(int record, int position) {
    ListRecord rec;
    if (!GetRecord(record, rec) || position < 0 || position >= rec.count) return false;
    const int64_t index = ElementIndex(rec, position);
    if (index < 0) return false;
    const size_t size = elements_.GetSize();
    std::move(elements_.begin() + index + 1, elements_.end(), elements_.begin() + index);
    if (!elements_.SetSize(size - 1)) return false;  // shrinking never allocates
    for (size_t r = static_cast<size_t>(record) + 1; r < records_.GetSize(); ++r) {
        records_[r].offset -= kWordSize;
    }
    --records_[static_cast<size_t>(record)].count;
    modified_ = true;
    return true;
}

bool ListTable::RemoveLastRecord() {
    if (records_.IsEmpty()) return false;
    const ListRecord last = records_[records_.GetSize() - 1];
    const int64_t first = last.count > 0 ? ElementIndex(last, 0) : -1;
    const size_t words = elements_.GetSize();
    if (last.count <= 0 || first < 0 ||
        static_cast<size_t>(first) + static_cast<size_t>(last.count) != words) {
        return false;
    }
    if (!elements_.SetSize(static_cast<size_t>(first)) ||
        !records_.SetSize(records_.GetSize() - 1)) {
        return false;  // shrinking never allocates
    }
    for (ListRecord& each : records_) each.offset -= kRecordSize;
    modified_ = true;
    return true;
}

int ListTable::ReplaceSorted(int record, int position, uint32_t word) {
    ListRecord rec;
    if (!GetRecord(record, rec) || position < 0 || position >= rec.count) return -1;
    const int64_t first = ElementIndex(rec, 0);
    if (first < 0 || ElementIndex(rec, rec.count - 1) < 0) return -1;
    const auto key = static_cast<int16_t>(word & 0xFFFF);
    int target = 0;  // the number of other elements that sort before the new one
    for (int i = 0; i < rec.count; ++i) {
        if (i == position) continue;
        const auto other = static_cast<int16_t>(elements_[static_cast<size_t>(first + i)] & 0xFFFF);
        if (other == key) return -1;
        if (other < key) ++target;
    }
    uint32_t* list = elements_.begin() + first;
    if (target < position) {
        std::move_backward(list + target, list + position, list + position + 1);
    } else if (target > position) {
        std::move(list + position + 1, list + target + 1, list + position);
    }
    list[target] = word;
    modified_ = true;
    return target;
}

bool ListTable::SetWord(int64_t index, uint32_t word) {
    if (index < 0 || index >= static_cast<int64_t>(elements_.GetSize())) return false;
    elements_[static_cast<size_t>(index)] = word;
    modified_ = true;
    return true;
}

// Offsets are 32-bit: the saved file must stay addressable.
bool ListTable::FitsInFile(size_t records, size_t words) const {
    return uint64_t{records} * kRecordSize + uint64_t{words} * kWordSize <= kMaxFileSize;
}

bool ListTable::Fail(const std::string& why) {
    error_ = why;
    return false;
}

}  // namespace vox

#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/growablearray.h"

namespace vox {

// The 8-byte record of fragFile.bin and evalFile.bin, identical in the file and in memory.
struct ListRecord {
    uint16_t number = 0;  // written when a fragment is appended; never read
    int16_t count = 0;    // elements in the record's list
    uint32_t offset = 0;  // absolute file offset of the record's first element word
};

// The container behind the fragment and eval tables: N records, then one flat array of 4-byte
// element words holding every record's list in record order. Each record carries the absolute
// file offset of its list, so edits keep the later offsets right and Save writes both arrays
// out unchanged.
class ListTable {
  public:
    static constexpr size_t kRecordSize = 8;
    static constexpr size_t kWordSize = 4;

    virtual ~ListTable();

    // Reads the file, then LoadBytes. On failure GetError() says why.
    bool Load(const std::string& path);
    bool LoadBytes(ByteSpan bytes);
    // Writes through SafeFile. Failure: false, GetError(), old file intact, modified unchanged.
    bool Save(const std::string& path);
    std::vector<uint8_t> SaveBytes() const;

    void Clear();
    int GetCount() const { return static_cast<int>(records_.GetSize()); }
    bool IsModified() const { return modified_; }
    // Inline, with ElementIndex and ListWords: every lookup and every scan goes through them.
    bool GetRecord(int index, ListRecord& out) const {
        if (index < 0 || index >= GetCount()) return false;
        out = records_[static_cast<size_t>(index)];
        return true;
    }
    std::span<const ListRecord> Records() const { return {records_.begin(), records_.GetSize()}; }

    int GetElementWordCount() const { return static_cast<int>(elements_.GetSize()); }
    uint32_t GetElementWord(int index) const {  // 0 outside the array
        if (index < 0 || index >= GetElementWordCount()) return 0;
        return elements_[static_cast<size_t>(index)];
    }
    // Index in the element array of element `position` of rec, or -1 when it lies outside the
    // array. Computed in 64 bits: an offset below the element area or a list past the array's
    // end is absent, never wrapped.
    int64_t ElementIndex(const ListRecord& rec, int position) const {
        if (records_.IsEmpty() || position < 0) return -1;
        const int64_t distance = int64_t{rec.offset} - int64_t{records_[0].offset};
        if (distance < 0) return -1;
        const int64_t index = distance / static_cast<int64_t>(kWordSize) + position;
        return index < static_cast<int64_t>(elements_.GetSize()) ? index : -1;
    }
    // The words of rec's list that exist: positions 0 up to its count, cut where the element
    // array ends, so exactly the positions for which ElementIndex is not -1. Empty for a count
    // of 0 or less and for a list that starts outside the array.
    std::span<const uint32_t> ListWords(const ListRecord& rec) const {
        const int64_t first = ElementIndex(rec, 0);
        if (first < 0 || rec.count <= 0) return {};
        const size_t available = elements_.GetSize() - static_cast<size_t>(first);
        return {elements_.begin() + first, std::min(static_cast<size_t>(rec.count), available)};
    }

    const std::string& GetError() const { return error_; }

    // Removes element `position` of the record's list; every later record's offset moves back
    // by 4. False for a record or position outside the table, or a list outside the array.
    bool RemoveElement(int record, int position);
    // Takes back an appended record: the last record goes with its list, which must be the
    // element array's tail, and every offset moves back by 8, so an append followed by this
    // leaves the image as it was. False (and nothing changed) for any other shape.
    bool RemoveLastRecord();

  protected:
    // The sorted insert shared by both tables: the record's list is kept ascending by the
    // word's signed low 16 bits without duplicates. Moves every later record's offset by 4.
    bool InsertSorted(int record, uint32_t word);
    // Appends a record whose list holds one word at the end of the element array; every
    // offset moves by 8, since the record area grew.
    bool AppendRecord(uint16_t number, uint32_t word);
    bool SetWord(int64_t index, uint32_t word);
    // Replaces element `position` of the record's list with word and moves it to where its
    // signed low 16 bits keep the list ascending. Refuses (-1) a key that another element of
    // the list has. Returns the element's new position; no offset changes.
    int ReplaceSorted(int record, int position, uint32_t word);
    void SetModified() { modified_ = true; }

  private:
    bool Fail(const std::string& why);
    bool FitsInFile(size_t records, size_t words) const;

    bool modified_ = false;
    GrowableArray<ListRecord> records_;
    GrowableArray<uint32_t> elements_;
    std::string error_;
};

}  // namespace vox

#pragma once

#include <cstdint>
#include <string>

#include "talkdata/bytes.h"
#include "talkdata/mappedfile.h"

namespace vox {

// The packed 14-byte record of commFile.bin (listOffset at byte 10 is unaligned in the file).
struct CommRecord {
    uint16_t reserved = 0;
    int16_t warp = 0;
    uint8_t priority = 0;
    uint8_t position = 0;
    int16_t bullseye = 0;
    uint8_t elements = 0;
    uint8_t evals = 0;
    uint32_t listOffset = 0;
};

// commFile.bin, mapped read-only and never written. A list entry is an i16: 0 or more names a
// fragment, a negative entry names eval -entry.
class CommTable {
  public:
    static constexpr uint32_t kRecordSize = 14;

    bool Open(const std::string& path);
    void Close();
    int GetCount() const { return count_; }
    bool GetCommRecord(int comm, CommRecord& out) const;
    // 0 when the entry's two bytes do not both lie inside the file.
    int16_t GetCommEntry(const CommRecord& rec, int position) const;
    const std::string& GetError() const { return file_.GetError(); }
    ByteSpan Bytes() const { return file_.Bytes(); }
    // Cut short by another program while open: every lookup since has failed.
    bool IsDamaged() const { return file_.IsOpen() && file_.IsDamaged(); }
    // IsDamaged, or cut by another program where no read has faulted yet (MappedFile::WasCut).
    bool WasCut() const { return file_.IsOpen() && file_.WasCut(); }
    const std::string& GetPath() const { return file_.GetPath(); }

    // The same logic over bare bytes, for tools and fuzzers.
    // The count is not stored: record 0's listOffset / 14, taking the lists to begin right
    // after the last record; 1 when record 0 cannot be read.
    static int CountFrom(ByteSpan file);
    static bool RecordAt(ByteSpan file, int count, int comm, CommRecord& out);
    static int16_t EntryAt(ByteSpan file, const CommRecord& rec, int position);

  private:
    MappedFile file_;
    int count_ = 0;
};

}  // namespace vox

#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "talkdata/bytes.h"

namespace vox {

// A whole file mapped into memory, shared with the file so that stores through a read-write
// view reach it. Mode 0 opens read-only and maps with read protection only: a read-only open
// can never modify the file. Offsets are 32-bit, so files of 4 GiB or more are refused.
//
// Another program may truncate the file while it is mapped. The access that runs past the new
// end then reads zeros instead of killing the process, and the file counts as damaged until
// it is opened again: At gives null, Bytes is empty, and Append, Remap and Flush refuse, so
// nothing is built on, or written back from, bytes that are no longer there.
//
// A read-write view reserves address space past the end of the file, so that an append only
// has to move the size: tearing down and rebuilding a large mapping for every replaced
// recording costs far more than writing it. Nothing past GetSize is ever handed out.
class MappedFile {
  public:
    static constexpr uint32_t kAppendFailed = 0xFFFFFFFF;

    MappedFile();
    virtual ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // mode 0 = read-only, 1 = read-write; anything else fails at once. Never creates the file.
    bool Open(const std::string& path, int mode);
    // Maps the file again at its current size, after it has grown.
    bool Remap();
    // Releases view and file; size and path stay as they were.
    void Close();
    // Writes the view's dirty pages back to the file.
    bool Flush();
    // Writes back only the pages that hold bytes offset to offset + length: a slot re-pointed
    // in a large file must not cost a walk over the whole view.
    bool FlushRange(uint32_t offset, uint32_t length);
    // Waits until everything appended so far is on the disk: whatever is pointed at next must
    // already be there when a power cut strikes between the two.
    bool SyncAppended();
    // A read-only view whose file has grown since it was mapped is mapped again at the new
    // size; true when that happened. Another program's replace appends an entry and points a
    // slot at it; through the shared mapping a reader sees the slot at once, but not the
    // bytes past its old end. Pointers from At are stale after a remap.
    bool RemapIfGrown();

    uint32_t GetSize() const { return size_; }
    // Pointer at offset, or null when offset lies outside the file. Only the first byte is
    // checked: a caller that reads more checks the rest itself.
    uint8_t* At(uint32_t offset) const {
        return view_ != nullptr && offset < size_ && !IsDamaged() ? view_ + offset : nullptr;
    }
    // Writes at the end of the file and extends the view over it; the old end of file, or
    // kAppendFailed (nothing written, also when the file would pass 4 GiB - 1). Pointers from
    // At may be stale afterwards: the view moves when the append outgrows its reserve.
    uint32_t Append(const void* bytes, uint32_t length);

    bool IsOpen() const { return view_ != nullptr; }
    // The file was truncated under the mapping since the last Open. Inline: every lookup asks.
    bool IsDamaged() const {
        return damaged_ || (guardFlag_ != nullptr && guardFlag_->load(std::memory_order_relaxed));
    }
    // IsDamaged, or the file is now shorter than the view. A cut that ends inside the view's
    // last page raises no fault (the page stays mapped and reads zeros past the new end), so
    // only the file's size tells. One fstat: ask after a command, not on every access.
    bool WasCut() const;
    int GetMode() const { return mode_; }
    const std::string& GetPath() const { return path_; }
    int GetFd() const { return fd_; }
    // The whole view; empty when closed or damaged.
    ByteSpan Bytes() const {
        return view_ != nullptr && !IsDamaged() ? ByteSpan(view_, size_) : ByteSpan();
    }
    const std::string& GetError() const { return error_; }

  private:
    bool Map();
    void Unmap();
    bool Grow(uint32_t newSize);
    bool RefuseIfDamaged();
    bool WriteAt(const uint8_t* data, uint32_t length, off_t offset);
    bool Fail(const std::string& why);
    bool FailErrno();

    int mode_ = 0;
    std::string path_;
    uint32_t size_ = 0;
    uint8_t* view_ = nullptr;
    size_t mapped_ = 0;  // length of the view: size_, plus the reserve of a read-write view
    int fd_ = -1;
    int guardSlot_ = -1;
    const std::atomic<bool>* guardFlag_ = nullptr;  // set by the SIGBUS handler
    bool damaged_ = false;  // a fault in an earlier view since the last Open
    std::string error_;
};

}  // namespace vox

#include "talkdata/mappedfile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "talkdata/faultinjection.h"
#include "talkdata/mappingguard.h"

namespace vox {
namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;
// Appends are written in pieces of this size; a failure between pieces is then a real
// possibility that the trimming below must handle, and tests can reach it.
constexpr uint32_t kWriteChunk = 1u << 20;
constexpr const char* kTruncatedWhileOpen = "the file was truncated by another program while open";
// Address space only: pages past the end of the file are never touched, so the reserve costs
// no memory, and a run of replacements grows the file without remapping.
constexpr size_t kMinReserve = size_t{64} << 20;

// The view covers the file and, when it is writable, a reserve for appends behind it.
size_t ViewLength(uint32_t size, int mode) {
    if (mode == 0) return size;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t wanted = size_t{size} + std::max(kMinReserve, size_t{size} / 8);
    return (wanted + page - 1) / page * page;
}

}  // namespace

MappedFile::MappedFile() = default;

MappedFile::~MappedFile() { Close(); }

bool MappedFile::Open(const std::string& path, int mode) {
    if (mode != 0 && mode != 1) return Fail("invalid open mode");
    Close();
    error_.clear();
    damaged_ = false;
    mode_ = mode;
    // O_NONBLOCK: a FIFO at that name must not wait for a writer; for a regular file the flag
    // changes nothing, and anything else is refused by Map.
    const int fd = open(path.c_str(), (mode == 0 ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FailErrno();
    fd_ = fd;
    path_ = path;
    // A file without any write permission bit was marked read-only by its owner; root could
    // open it for writing all the same, and would then change what the owner meant to keep.
    struct stat info {};
    if (mode == 1 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
        Close();
        return Fail(std::strerror(EACCES));
    }
    return Map();
}

bool MappedFile::WasCut() const {
    if (IsDamaged()) return true;
    struct stat info {};
    return fd_ >= 0 && fstat(fd_, &info) == 0 && static_cast<uint64_t>(info.st_size) < size_;
}

bool MappedFile::Remap() {
    if (fd_ < 0) return Fail("file is not open");
    if (RefuseIfDamaged()) return false;
    Unmap();
    return Map();
}

bool MappedFile::Map() {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return FailErrno();
    if (!S_ISREG(info.st_mode)) return Fail("not a regular file");
    if (static_cast<uint64_t>(info.st_size) > kMaxFileSize) {
        return Fail("file is larger than 4 GiB");
    }
    size_ = static_cast<uint32_t>(info.st_size);
    if (size_ == 0) return Fail("file is empty");
    const int protection = mode_ == 0 ? PROT_READ : PROT_READ | PROT_WRITE;
    const size_t length = ViewLength(size_, mode_);
    void* view = mmap(nullptr, length, protection, MAP_SHARED, fd_, 0);
    if (view == MAP_FAILED) return FailErrno();
    view_ = static_cast<uint8_t*>(view);
    mapped_ = length;
    // The reserve is guarded too: should anything reach into it, it reads zeros and the file
    // counts as damaged rather than the program ending.
    guardSlot_ = mappingguard::Register(view_, mapped_, protection);
    guardFlag_ = mappingguard::DamageFlag(guardSlot_);
    return true;
}

// Extends the view over a file that now has newSize bytes. Within the reserve only the size
// moves; past it the view is enlarged (and may move), its guard following it.
bool MappedFile::Grow(uint32_t newSize) {
    if (newSize <= mapped_) {
        size_ = newSize;
        return true;
    }
    const size_t length = ViewLength(newSize, mode_);
    damaged_ = IsDamaged();
    // The guard must never cover addresses the view has left.
    mappingguard::Release(guardSlot_);
    guardSlot_ = -1;
    guardFlag_ = nullptr;
    void* moved = mremap(view_, mapped_, length, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) {
        // The old view is still there; build a new one the plain way.
        Unmap();
        return Map();
    }
    view_ = static_cast<uint8_t*>(moved);
    mapped_ = length;
    size_ = newSize;
    const int protection = mode_ == 0 ? PROT_READ : PROT_READ | PROT_WRITE;
    guardSlot_ = mappingguard::Register(view_, mapped_, protection);
    guardFlag_ = mappingguard::DamageFlag(guardSlot_);
    return true;
}

void MappedFile::Unmap() {
    damaged_ = IsDamaged();
    mappingguard::Release(guardSlot_);
    guardSlot_ = -1;
    guardFlag_ = nullptr;
    if (view_ != nullptr) {
        munmap(view_, mapped_);
        view_ = nullptr;
        mapped_ = 0;
    }
}

void MappedFile::Close() {
    Unmap();
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool MappedFile::Flush() {
    if (view_ == nullptr) return Fail("file is not open");
    if (RefuseIfDamaged()) return false;
    if (msync(view_, size_, MS_SYNC) != 0) return FailErrno();
    return true;
}

bool MappedFile::FlushRange(uint32_t offset, uint32_t length) {
    if (view_ == nullptr) return Fail("file is not open");
    if (RefuseIfDamaged()) return false;
    if (length == 0 || offset >= size_) return true;
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, size_);
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t start = offset / page * page;
    faults::Pass("flush");
    if (msync(view_ + start, static_cast<size_t>(end - start), MS_SYNC) != 0) return FailErrno();
    return true;
}

bool MappedFile::SyncAppended() {
    if (fd_ < 0) return Fail("file is not open");
    faults::Pass("flush");
    if (faults::ShouldFail("mappedfile.sync")) return Fail(std::strerror(EIO));
    if (fdatasync(fd_) != 0) return FailErrno();
    return true;
}

bool MappedFile::RemapIfGrown() {
    if (view_ == nullptr || mode_ != 0 || IsDamaged()) return false;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || static_cast<uint64_t>(info.st_size) <= size_) return false;
    Unmap();
    return Map();
}

bool MappedFile::RefuseIfDamaged() {
    if (!IsDamaged()) return false;
    Fail(kTruncatedWhileOpen);
    return true;
}

uint32_t MappedFile::Append(const void* bytes, uint32_t length) {
    if (fd_ < 0) {
        Fail("file is not open");
        return kAppendFailed;
    }
    if (mode_ != 1) {
        Fail("file is opened read-only");
        return kAppendFailed;
    }
    if (RefuseIfDamaged()) return kAppendFailed;
    if (bytes == nullptr && length != 0) {
        Fail("no bytes to append");
        return kAppendFailed;
    }
    const off_t end = lseek(fd_, 0, SEEK_END);
    if (end < 0) {
        FailErrno();
        return kAppendFailed;
    }
    // Entry offsets are 32-bit: a file that passed 4 GiB - 1 could no longer be addressed, and
    // a wrapped offset would point a slot at the wrong bytes.
    if (static_cast<uint64_t>(end) + length > kMaxFileSize) {
        Fail("file would pass 4 GiB");
        return kAppendFailed;
    }
    if (!WriteAt(static_cast<const uint8_t*>(bytes), length, end)) {
        const int error = errno;
        // A partial tail would be unreferenced but still grow the file: take it back off.
        [[maybe_unused]] const int trimmed = ftruncate(fd_, end);
        error_ = std::strerror(error);
        return kAppendFailed;
    }
    if (!Grow(static_cast<uint32_t>(end + length))) return kAppendFailed;
    return static_cast<uint32_t>(end);
}

bool MappedFile::WriteAt(const uint8_t* data, uint32_t length, off_t offset) {
    uint32_t done = 0;
    while (done < length) {
        if (faults::ShouldFail("mappedfile.append")) {
            errno = ENOSPC;
            return false;
        }
        const uint32_t piece = std::min(length - done, kWriteChunk);
        const ssize_t written = pwrite(fd_, data + done, piece, offset + done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<uint32_t>(written);
    }
    return true;
}

bool MappedFile::Fail(const std::string& why) {
    error_ = why;
    return false;
}

bool MappedFile::FailErrno() { return Fail(std::strerror(errno)); }

}  // namespace vox

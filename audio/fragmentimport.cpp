// The document's two ways of bringing a new recording into the talk file: re-pointing one slot
// at an appended entry, and rewriting the whole file with one more slot.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "talkdata/document.h"
#include "talkdata/safefile.h"
#include "talkdata/voxfile.h"
#include "talkdata/writerlock.h"

namespace vox {
namespace {

constexpr uint32_t kSlotSize = 4;
constexpr uint32_t kEntryHeaderSize = 8;  // decodedSize, codedSize
constexpr uint64_t kMaxTalkSize = 0xFFFFFFFFu;
// How much of a rewrite is copied between two progress reports.
constexpr size_t kProgressStep = size_t{8} << 20;

// Passes bytes on in pieces and reports after each, so that a watcher sees a long rewrite
// advance and can stop it before the talk file is touched.
class ProgressSink : public ByteSink {
public:
    ProgressSink(ByteSink& out, const ProgressFn& progress, uint64_t total)
        : out_(out), progress_(progress), total_(total) {}

    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const size_t piece = std::min(size, kProgressStep);
            if (!out_.Write(bytes, piece)) return false;
            bytes += piece;
            size -= piece;
            done_ += piece;
            if (!ReportProgress(progress_, done_, total_)) {
                cancelled_ = true;
                return false;
            }
        }
        return true;
    }
    bool Cancelled() const { return cancelled_; }

private:
    ByteSink& out_;
    const ProgressFn& progress_;
    uint64_t total_;
    uint64_t done_ = 0;
    bool cancelled_ = false;
};

// Passes bytes on, except that bytes lying inside the talk file's mapping are read from the file
// with pread instead. Touching every page of a mapping of hundreds of MiB costs a page fault per
// page and a long unmap afterwards; reading the same bytes from the page cache does not. The
// mapping is shared with the file, so both hold the same bytes.
class MappedSourceSink : public ByteSink {
public:
    MappedSourceSink(ByteSink& out, const MappedFile& source) : out_(out), source_(source) {}

    bool Write(const void* data, size_t size) override {
        const ByteSpan mapped = source_.Bytes();
        const auto* bytes = static_cast<const uint8_t*>(data);
        const bool inMapping = !mapped.empty() && bytes >= mapped.data() &&
                               size <= mapped.size() &&
                               bytes - mapped.data() <= static_cast<ptrdiff_t>(mapped.size() - size);
        if (!inMapping || size < kDirectReadThreshold) return out_.Write(data, size);
        return CopyFromFile(static_cast<off_t>(bytes - mapped.data()), size);
    }

private:
    static constexpr size_t kDirectReadThreshold = 64 * 1024;

    bool CopyFromFile(off_t offset, size_t size) {
        buffer_.resize(std::min(size, kProgressStep));
        while (size > 0) {
            const size_t piece = std::min(size, buffer_.size());
            const ssize_t got = pread(source_.GetFd(), buffer_.data(), piece, offset);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            if (!out_.Write(buffer_.data(), static_cast<size_t>(got))) return false;
            offset += got;
            size -= static_cast<size_t>(got);
        }
        return true;
    }

    ByteSink& out_;
    const MappedFile& source_;
    std::vector<uint8_t> buffer_;
};

enum class Rewrite { Done, CannotCreate, CannotWrite, CannotMove, CannotReopen, Cancelled };

// Writes a new version of the talk file under the temporary name and puts it in the talk
// file's place in one rename. The talk file is only read meanwhile: whatever fails, it keeps
// its old contents, the temporary file is gone, and the mapping is open again on whichever
// version is in place.
Rewrite RewriteTalkFile(MappedFile& talk, WriterLock& lock, uint64_t newSize,
                        const std::function<bool(ByteSink&)>& writeNewVersion,
                        const ProgressFn& progress) {
    const std::string path = talk.GetPath();
    const std::string tempPath = TemporaryTalkPath(path);
    if (tempPath.empty()) return Rewrite::CannotCreate;
    SafeFile temp;
    if (!temp.Begin(path, tempPath)) return Rewrite::CannotCreate;
    ProgressSink watched(temp, progress, newSize);
    MappedSourceSink sink(watched, talk);
    if (!writeNewVersion(sink)) {
        temp.Abort();
        return watched.Cancelled() ? Rewrite::Cancelled : Rewrite::CannotWrite;
    }
    // The new version takes the writer lock before its rename, so that the talk file's name
    // never stands for a file that another writer (a compact, say) could take meanwhile.
    const bool locked = lock.IsHeld();
    if (locked && !lock.LockReplacement(tempPath)) {
        temp.Abort();
        return Rewrite::CannotMove;
    }
    talk.Close();
    const bool moved = temp.Commit();
    // After a failed rename the old file is in place again: it gets the lock back.
    if (!moved && locked) lock.Acquire(path);
    const bool reopened = talk.Open(path, 1);
    if (!moved) return Rewrite::CannotMove;
    return reopened ? Rewrite::Done : Rewrite::CannotReopen;
}

// Shows what went wrong, if anything; true for a rewrite that is in place.
bool ReportRewrite(Rewrite result, Prompter& prompter) {
    switch (result) {
        case Rewrite::Done: return true;
        case Rewrite::CannotCreate: prompter.ShowMessage("Can't create temporary file"); break;
        case Rewrite::CannotWrite: prompter.ShowMessage("Can't write temporary file"); break;
        case Rewrite::CannotMove: prompter.ShowMessage("Movefile failed"); break;
        case Rewrite::CannotReopen: prompter.ShowMessage("Can't reopen the voxfile"); break;
        case Rewrite::Cancelled: break;
    }
    return false;
}

// Whether the talk file may be rewritten to newSize bytes: open for writing, with a directory
// whose end is well defined (slot 0 decides where it ends, so a crooked slot 0 would make a
// rewrite misaddress every entry). Says why not through the prompter.
bool CanRewrite(const MappedFile& talk, uint64_t newSize, Prompter& prompter) {
    if (!talk.IsOpen()) {
        prompter.ShowMessage("No Voxfile loaded!");
        return false;
    }
    if (talk.GetMode() != 1) {
        prompter.ShowMessage("Voxfile is opened read-only");
        return false;
    }
    std::string why;
    if (!VoxFile::HasWellFormedDirectory(talk.Bytes(), &why)) {
        prompter.ShowMessage("Bad voxfile directory\n" + why);
        return false;
    }
    if (newSize > kMaxTalkSize) {
        prompter.ShowMessage("Voxfile has no room for another entry");
        return false;
    }
    return true;
}

// A slot that points at or behind the first entry moves with the data behind it; one so large
// that it would wrap stays beyond the end of any file, as it was.
uint32_t MovedSlot(uint32_t value, uint32_t firstEntry, uint32_t distance) {
    if (value == 0 || value < firstEntry) return value;
    return value > 0xFFFFFFFFu - distance ? 0xFFFFFFFFu : value + distance;
}

// The talk file with a new entry for voxIndex 0: slot 0 also marks where the directory ends,
// so the new entry goes right behind the directory, where slot 0 already points, and every
// other slot moves with the old entries.
bool WriteWithNewFirstEntry(ByteSpan old, const uint8_t* coded, uint32_t codedLen,
                            uint32_t decodedLen, ByteSink& out) {
    const uint32_t firstEntry = ReadU32(old.data() + VoxFile::kHeaderSize);
    const uint32_t distance = kEntryHeaderSize + codedLen;
    std::vector<uint8_t> front(old.begin(), old.begin() + firstEntry);
    for (uint32_t at = VoxFile::kHeaderSize + kSlotSize; at < firstEntry; at += kSlotSize) {
        WriteU32(front.data() + at, MovedSlot(ReadU32(front.data() + at), firstEntry, distance));
    }
    uint8_t entryHeader[kEntryHeaderSize];
    WriteU32(entryHeader, decodedLen);
    WriteU32(entryHeader + 4, codedLen);
    return out.Write(front.data(), front.size()) && out.Write(entryHeader, sizeof entryHeader) &&
           (codedLen == 0 || out.Write(coded, codedLen)) &&
           out.Write(old.data() + firstEntry, old.size() - firstEntry);
}

bool ReplaceFirstEntry(MappedFile& talk, WriterLock& lock, Prompter& prompter,
                       const uint8_t* coded, uint32_t codedLen, uint32_t decodedLen) {
    const uint64_t newSize = uint64_t{talk.GetSize()} + kEntryHeaderSize + codedLen;
    if (!CanRewrite(talk, newSize, prompter)) return false;
    const Rewrite result = RewriteTalkFile(
        talk, lock, newSize,
        [&](ByteSink& sink) {
            return WriteWithNewFirstEntry(talk.Bytes(), coded, codedLen, decodedLen, sink);
        },
        {});
    return ReportRewrite(result, prompter);
}

}  // namespace

bool CVoxbenchDoc::ReplaceFragment(int frag, int voice, const uint8_t* coded, uint32_t codedLen,
                                   uint32_t decodedLen) {
    if (coded == nullptr && codedLen != 0) return false;
    ListRecord record;
    if (!GetFragRecord(frag, record)) return false;
    const int voxIndex = FindVoxIndex(record, voice);
    if (voxIndex < 0) return false;
    if (voxFile_.At(VoxFile::kHeaderSize + kSlotSize * static_cast<uint32_t>(voxIndex)) == nullptr) {
        return false;
    }
    if (voxIndex == 0) {
        return ReplaceFirstEntry(voxFile_, writerLock_, *prompter_, coded, codedLen, decodedLen);
    }
    // Refuses a voxIndex beyond the directory: such a "slot" is a word of some entry.
    return VoxFile::ReplaceEntry(voxFile_, voxIndex, coded, codedLen, decodedLen);
}

bool CVoxbenchDoc::AddFragment(int frag, int voice, std::unique_ptr<uint8_t[]> coded,
                               uint32_t codedLen, uint32_t decodedLen, const ProgressFn& progress) {
    if (coded == nullptr && codedLen != 0) return false;
    // Everything that could refuse the add is settled before a byte is written: a refusal
    // after the rewrite would leave a slot and an entry that nothing references.
    const uint64_t newSize = uint64_t{voxFile_.GetSize()} + kSlotSize + kEntryHeaderSize + codedLen;
    if (!CanRewrite(voxFile_, newSize, *prompter_)) return false;
    const uint32_t newVoxIndex = VoxFile::SlotCount(voxFile_.Bytes());
    if (newVoxIndex > static_cast<uint32_t>(VoxFile::kMaxVoxIndex)) {
        prompter_->ShowMessage("Voxfile has no room for another entry");
        return false;
    }
    FragTable updated = fragTable_;
    if (!updated.AddElement(frag, voice, static_cast<int>(newVoxIndex))) {
        prompter_->ShowMessage("Add new fragment failed");
        return false;
    }

    const Rewrite result = RewriteTalkFile(
        voxFile_, writerLock_, newSize,
        [&](ByteSink& sink) {
            int written = -1;
            return VoxFile::WriteWithNewSlot(voxFile_.Bytes(), coded.get(), codedLen, decodedLen,
                                             sink, written) &&
                   written == static_cast<int>(newVoxIndex);
        },
        progress);
    coded.reset();
    if (!ReportRewrite(result, *prompter_)) return false;

    fragTable_ = std::move(updated);
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}

}  // namespace vox

#include "workbench/talkrewrite.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "talkdata/safefile.h"
#include "talkdata/talklayout.h"

namespace vox {
namespace {

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
        const bool inMapping =
            !mapped.empty() && bytes >= mapped.data() && size <= mapped.size() &&
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

}  // namespace

// Writes a new version of the talk file under the temporary name and puts it in the talk
// file's place in one rename. The talk file is only read meanwhile: whatever fails, it keeps
// its old contents, the temporary file is gone, and the mapping is open again on whichever
// version is in place. A talk file reached through a symbolic link is rewritten where the link
// points, so the link stays a link.
Status RewriteTalkFile(MappedFile& talk, WriterLock& lock, uint64_t newSize,
                       const std::function<bool(ByteSink&)>& writeNewVersion,
                       const ProgressFn& progress) {
    const std::string path = talk.GetPath();
    const std::string target = ResolveLinks(path);
    const std::string tempPath = TemporaryTalkPath(target);
    if (tempPath.empty()) {
        return Status::Failure(
            "Can't create temporary file: " + target +
            ": a talk file whose name ends in \"$\" would be its own temporary file");
    }
    SafeFile temp;
    if (!temp.Begin(target, tempPath)) {
        return Status::Failure("Can't create temporary file: " + temp.DescribeFailure());
    }
    ProgressSink watched(temp, progress, newSize);
    MappedSourceSink sink(watched, talk);
    if (!writeNewVersion(sink)) {
        const std::string error = temp.GetError().empty()
                                      ? tempPath + ": the talk file could not be read"
                                      : temp.DescribeFailure();
        temp.Abort();
        if (watched.Cancelled()) return Status::Cancelled();
        return Status::Failure("Can't write temporary file: " + error);
    }
    // The new version is locked before its rename and the old one stays locked until the
    // rename is done: a second writer never finds the name standing for an unlocked file, and
    // never makes its own temporary file while this one is on its way into place.
    const bool locked = lock.IsHeld();
    if (locked && !lock.LockReplacement(tempPath)) {
        temp.Abort();
        return Status::Failure("Movefile failed: " + tempPath + ": " + lock.GetError());
    }
    talk.Close();
    const bool moved = temp.Commit();
    if (locked && moved) lock.AdoptReplacement();
    if (locked && !moved) lock.DropReplacement();
    const bool reopened = talk.Open(path, 1);
    if (!moved && temp.GetFailedStep() == SafeFile::Step::Write) {
        return Status::Failure("Can't write temporary file: " + temp.DescribeFailure());
    }
    if (!moved) return Status::Failure("Movefile failed: " + temp.DescribeFailure());
    if (!reopened)
        return Status::Failure("Can't reopen the voxfile: " + path + ": " + talk.GetError());
    return {};
}

// Why the talk file may not be rewritten to newSize bytes, or empty when it may: it must be
// open for writing, with a directory whose end is well defined (slot 0 decides where it ends,
// so a crooked slot 0 would make a rewrite misaddress every entry).
std::string WhyNoRewrite(const MappedFile& talk, uint64_t newSize) {
    if (!talk.IsOpen()) return "No Voxfile loaded!";
    if (talk.GetMode() != 1) return "Voxfile is opened read-only";
    std::string why;
    if (!VoxFile::HasWellFormedDirectory(talk.Bytes(), &why))
        return "Bad voxfile directory\n" + why;
    if (newSize > kMaxTalkSize) return "Voxfile has no room for another entry";
    return "";
}

// Slot 0 and, when given, other slots of a batch, in one rewrite.
Status RewriteWithFirstEntry(MappedFile& talk, WriterLock& lock, const VoxFile::NewEntry& first,
                             const std::vector<VoxFile::NewEntry>& others) {
    uint64_t newSize = uint64_t{talk.GetSize()} + kTalkEntryHeaderSize + first.codedLen;
    for (const VoxFile::NewEntry& entry : others) newSize += kTalkEntryHeaderSize + entry.codedLen;
    const std::string why = WhyNoRewrite(talk, newSize);
    if (!why.empty()) return Status::Failure(why);
    return RewriteTalkFile(talk, lock, newSize,
                           [&](ByteSink& sink) {
                               return VoxFile::WriteWithNewFirstEntry(talk.Bytes(), first, others,
                                                                      sink);
                           },
                           {});
}

Status RewriteWithEntryFirst(MappedFile& talk, WriterLock& lock, uint32_t entry) {
    const std::string why = WhyNoRewrite(talk, talk.GetSize());
    if (!why.empty()) return Status::Failure(why);
    return RewriteTalkFile(
        talk, lock, talk.GetSize(),
        [&](ByteSink& sink) { return VoxFile::WriteWithEntryFirst(talk.Bytes(), entry, sink); },
        {});
}

}  // namespace vox

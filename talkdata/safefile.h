#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// Where a writer puts its bytes: a file, a buffer in a test.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual bool Write(const void* data, size_t size) = 0;
};

// Writes a file so that a reader sees either the old or the complete new version: the bytes go
// to a temporary file in the target's folder, which is flushed to disk and renamed over the
// target in one step. Any failure leaves the target as it was and removes the temporary file.
//
// A target that is a symbolic link is written through: the file it names gets the new version,
// as cp and editors do. A target that exists but is not a regular file (a device such as
// /dev/null, a FIFO) cannot be replaced without destroying what it is, so it is written in
// place, without a temporary file. A directory or socket is refused, and so is a regular file
// that has no write permission bit at all: the user has marked it read-only, and a rename would
// replace it all the same (for root, even its permission bits would not stop a write).
class SafeFile : public ByteSink {
  public:
    SafeFile() = default;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile() override;

    // Creates the temporary file in the target's folder: tempPath when given (created without
    // following a symlink that may stand at that name: what is there is removed first), else a
    // unique name. The temporary file gets the target's permission bits when the target exists.
    bool Begin(const std::string& targetPath, const std::string& tempPath = "");
    bool Write(const void* data, size_t size) override;  // buffered
    // Flush, fsync, close, rename over the target, fsync the folder. False leaves the target
    // untouched and removes the temporary file. A caller that commits many files into one
    // folder may leave the folder's fsync out and do it once itself (SyncFolderOf).
    bool Commit(bool syncFolder = true);
    // Flush the buffer, close, rename over the target: no reader ever sees a half-written file,
    // but nothing waits for the disk. For files that are derived data, written many at once: the
    // caller makes them durable together with SyncFileSystemOf before it reports them done.
    bool CommitUnflushed();
    // Hands the bytes written so far to the kernel and starts writing them to disk without
    // waiting, so that a later Commit finds little left to flush.
    bool StartSync();
    void Abort();  // close and remove the temporary file

    // Where a failure happened: checking the target, making the temporary file, writing or
    // flushing it, or moving it into the target's place.
    enum class Step { Check, Create, Write, Rename };
    Step GetFailedStep() const { return failedStep_; }
    // "path: reason", naming the file the failed step was working on ("temp -> target" for a
    // rename), for a message that says which file and why.
    std::string DescribeFailure() const;

    bool IsActive() const { return fd_ >= 0; }
    // The target is written in place (not a regular file): nothing can be taken back.
    bool IsInPlace() const { return inPlace_; }
    const std::string& GetTempPath() const { return tempPath_; }
    const std::string& GetError() const { return error_; }

  private:
    bool CheckTarget(bool& inPlace);
    bool OpenInPlace();
    bool CloseInPlace(bool ok);
    bool CreateNamedTemp(const std::string& tempPath);
    bool CreateUniqueTemp(const std::string& targetPath);
    bool FlushBuffer();
    bool WriteAll(const uint8_t* data, size_t size);
    bool Fail(int errorNumber);

    std::string targetPath_;
    std::string tempPath_;
    std::string error_;
    std::vector<uint8_t> buffer_;
    int fd_ = -1;
    bool failed_ = false;
    bool inPlace_ = false;
    Step step_ = Step::Check;
    Step failedStep_ = Step::Check;
    std::string attemptedTemp_;  // the temporary file's name, also when making it failed
};

// Whether SafeFile could replace the file at path: false, and why, for a directory, a socket
// or a file marked read-only. Lets a command that writes several files refuse before the
// first one changes.
bool CanReplaceFile(const std::string& path, std::string* why = nullptr);

// Begin, one Write, Commit. On failure why (when given) says what went wrong.
bool WriteFileSafely(const std::string& path, ByteSpan bytes, std::string* why = nullptr);

// Writes many files as WriteFileSafely does, each either its old or its complete new version,
// but waits for the disk once per batch instead of once per file: Add writes each file to its
// own temporary and starts its way to disk, Commit then flushes and renames every one and
// syncs each folder once. A file that fails at any step leaves its target as it was and no
// temporary behind; the others are committed all the same.
class SafeFileBatch {
  public:
    struct Outcome {
        std::string path;
        bool committed = false;
        std::string error;  // why, when not committed
    };

    SafeFileBatch() = default;
    SafeFileBatch(const SafeFileBatch&) = delete;
    SafeFileBatch& operator=(const SafeFileBatch&) = delete;
    ~SafeFileBatch();  // an uncommitted batch is aborted

    // False, and why, when the temporary could not be written; nothing of it is left then.
    bool Add(const std::string& path, ByteSpan bytes, std::string* why = nullptr);
    size_t GetCount() const { return files_.size(); }
    // Every added file in the order added; the batch is empty afterwards.
    std::vector<Outcome> Commit();
    // Removes every temporary; no target is touched.
    void Abort();

  private:
    struct Pending {
        std::string path;
        std::unique_ptr<SafeFile> file;
    };
    std::vector<Pending> files_;
};

// The file a path finally names after following every symbolic link (relative links taken
// from the link's own folder); the path itself when it is no link. A link that names nothing
// gives the name it points at, so that writing through it creates that file. A loop ends after
// 40 links, and the open that follows reports it.
std::string ResolveLinks(const std::string& path);

// Removes what killed safe saves left beside target: files named as SafeFile names its unique
// temporaries (".NAME.XXXXXX"), regular, and last changed before notAfter. Only a writer that
// holds the database's lock may call this: nobody else can be saving there then.
void RemoveStaleTemporaries(const std::string& targetPath, time_t notAfter);

// Waits until everything written to the file system that holds path is on its disk (syncfs):
// one wait for a whole export instead of one per file. False, and why, when the disk reported
// a write error.
bool SyncFileSystemOf(const std::string& path, std::string* why = nullptr);

// fsync of the folder that holds path: makes renames into it durable. Best effort.
void SyncFolderOf(const std::string& path);

// The folder that holds path, with its trailing '/', or "" for a bare name (current folder).
std::string FolderOf(const std::string& path);

}  // namespace vox

#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace vox {

// The advisory lock that every program writing a talk file holds for as long as it may write:
// an exclusive flock on the talk file itself. It never waits: a file that another program
// holds is refused at once with a message that says so. The lock belongs to the file, not to
// its name: whoever replaces the talk file by a rename locks the new file before the rename
// (LockReplacement), so that the name never stands for an unlocked file while it writes.
class WriterLock {
public:
    WriterLock() = default;
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Locks the file at path. Holding the lock on that very file already succeeds at once; a
    // lock on another file is given up only once the new one is held.
    bool Acquire(const std::string& path);
    // Locks the file at newFile, which is about to be renamed over the locked one, and keeps
    // that lock instead of the old. On failure the old lock stays.
    bool LockReplacement(const std::string& newFile);
    void Release();

    bool IsHeld() const { return fd_ >= 0; }
    const std::string& GetError() const { return error_; }

    // The text of a refusal because another program holds the lock.
    static constexpr const char* kHeldElsewhere =
        "another program has this database open for writing";

private:
    int LockFile(const std::string& path, struct stat& opened);
    bool Fail(const std::string& why);

    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::string error_;
};

}  // namespace vox

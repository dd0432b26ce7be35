#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace vox {

// The advisory lock that every program writing a talk file holds for as long as it may write:
// an exclusive flock on the talk file itself. It never waits: a file that another program
// holds is refused at once with a message that says so. The lock belongs to the file, not to
// its name: whoever replaces the talk file by a rename locks the new file too before the rename
// (LockReplacement) and gives up the old one only once the new file is in place
// (AdoptReplacement). The name thus never stands for a file that another writer could take
// while the first is still moving its version into place: a second writer that opened the
// old file finds it locked, or replaced when it gets the lock, and then tries the new one.
class WriterLock {
  public:
    WriterLock() = default;
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Locks the file at path. Holding the lock on that very file already succeeds at once; a
    // lock on another file is given up only once the new one is held.
    bool Acquire(const std::string& path);
    // Locks the file at newFile, which is about to be renamed over the locked one, and holds
    // both locks until AdoptReplacement or DropReplacement. On failure the old lock stays alone.
    bool LockReplacement(const std::string& newFile);
    // The rename is done: the new file's lock is the one held from now on.
    void AdoptReplacement();
    // The rename did not happen: the old file keeps its lock, the new one loses its own.
    void DropReplacement();
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
    int replacementFd_ = -1;  // the new file's lock while both are held
    dev_t replacementDevice_ = 0;
    ino_t replacementInode_ = 0;
    std::string error_;
};

}  // namespace vox

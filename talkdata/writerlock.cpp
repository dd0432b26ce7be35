#include "talkdata/writerlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vox {
namespace {

// A file renamed over the one just locked makes the lock worthless; trying again a few times
// is enough, since only a writer that has finished renames.
constexpr int kAttempts = 3;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

WriterLock::~WriterLock() { Release(); }

bool WriterLock::Fail(const std::string& why) {
    error_ = why;
    return false;
}

// Opens and locks path; the descriptor and what fstat said of it, or -1 with error_ set. A
// descriptor of the very file that is already held is returned unlocked, since a second flock
// on it would refuse us.
int WriterLock::LockFile(const std::string& path, struct stat& opened) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // O_NONBLOCK: a FIFO must not make the open wait.
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            Fail(std::strerror(errno));
            return -1;
        }
        if (fstat(fd, &opened) != 0) {
            Fail(std::strerror(errno));
            close(fd);
            return -1;
        }
        if (!S_ISREG(opened.st_mode)) {
            Fail("not a regular file");
            close(fd);
            return -1;
        }
        if (fd_ >= 0 && opened.st_dev == device_ && opened.st_ino == inode_) return fd;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            Fail(error == EWOULDBLOCK ? kHeldElsewhere : std::strerror(error));
            return -1;
        }
        // The file may have been replaced between the open and the lock; then the name stands
        // for another file and this lock protects nothing.
        struct stat named {};
        if (stat(path.c_str(), &named) == 0 && SameFile(named, opened)) return fd;
        close(fd);
    }
    Fail("the file keeps being replaced");
    return -1;
}

bool WriterLock::Acquire(const std::string& path) {
    error_.clear();
    struct stat info {};
    const int fd = LockFile(path, info);
    if (fd < 0) return false;
    if (fd_ >= 0 && info.st_dev == device_ && info.st_ino == inode_) {
        close(fd);
        return true;
    }
    Release();
    fd_ = fd;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    return true;
}

bool WriterLock::LockReplacement(const std::string& newFile) {
    error_.clear();
    DropReplacement();
    const int fd = open(newFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(std::strerror(errno));
    // Nobody else knows the new file yet, but a lock that fails must not be assumed.
    struct stat info {};
    if (fstat(fd, &info) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return Fail(std::strerror(error));
    }
    replacementFd_ = fd;
    replacementDevice_ = info.st_dev;
    replacementInode_ = info.st_ino;
    return true;
}

void WriterLock::AdoptReplacement() {
    if (replacementFd_ < 0) return;
    const int fd = replacementFd_;
    const dev_t device = replacementDevice_;
    const ino_t inode = replacementInode_;
    replacementFd_ = -1;
    Release();
    fd_ = fd;
    device_ = device;
    inode_ = inode;
}

void WriterLock::DropReplacement() {
    if (replacementFd_ < 0) return;
    close(replacementFd_);
    replacementFd_ = -1;
    replacementDevice_ = 0;
    replacementInode_ = 0;
}

void WriterLock::Release() {
    DropReplacement();
    if (fd_ < 0) return;
    close(fd_);  // closing the last descriptor of the open file gives the lock up
    fd_ = -1;
    device_ = 0;
    inode_ = 0;
}

}  // namespace vox

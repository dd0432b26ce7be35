#include "talkdata/safefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "talkdata/faultinjection.h"

namespace vox {
namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr int kMaxLinks = 40;
constexpr size_t kUniqueSuffix = 6;  // mkostemp's XXXXXX

bool IsUniqueTemporaryOf(const std::string& entry, const std::string& name) {
    // "." + name + "." + six characters
    if (entry.size() != name.size() + 2 + kUniqueSuffix || entry[0] != '.') return false;
    if (entry.compare(1, name.size(), name) != 0 || entry[name.size() + 1] != '.') return false;
    for (size_t i = name.size() + 2; i < entry.size(); ++i) {
        const char c = entry[i];
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

// The permission bits a new file gets under the process's umask.
mode_t DefaultMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) return current;
        target.resize(static_cast<size_t>(length));
        current = target.front() == '/' ? target : FolderOf(current) + target;
    }
    return current;
}

void RemoveStaleTemporaries(const std::string& targetPath, time_t notAfter) {
    const std::string folder = FolderOf(targetPath);
    const std::string name = targetPath.substr(folder.size());
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (!IsUniqueTemporaryOf(entryName, name)) continue;
        struct stat info {};
        const std::string path = folder + entryName;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < notAfter) {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

SafeFile::~SafeFile() { Abort(); }

// Whether the target may be written, and how: replaced by a rename, or in place when it is a
// device or FIFO.
bool SafeFile::CheckTarget(bool& inPlace) {
    inPlace = false;
    struct stat info {};
    if (stat(targetPath_.c_str(), &info) != 0) return errno == ENOENT || Fail(errno);
    if (S_ISDIR(info.st_mode)) return Fail(EISDIR);
    if (S_ISSOCK(info.st_mode)) {
        failed_ = true;
        failedStep_ = step_;
        error_ = "is a socket";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        inPlace = true;
        return true;
    }
    if ((info.st_mode & 0222) == 0) return Fail(EACCES);
    return true;
}

bool SafeFile::OpenInPlace() {
    // No O_TRUNC: a device has nothing to cut, and a FIFO's reader waits for what comes. The
    // open of a FIFO waits for its reader, as a shell's redirection does.
    const int fd = open(targetPath_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(errno);
    fd_ = fd;
    inPlace_ = true;
    return true;
}

bool SafeFile::Begin(const std::string& targetPath, const std::string& tempPath) {
    Abort();
    error_.clear();
    failed_ = false;
    inPlace_ = false;
    step_ = Step::Check;
    attemptedTemp_.clear();
    if (targetPath.empty() || targetPath.back() == '/') {
        error_ = "no file name given";
        return false;
    }
    targetPath_ = ResolveLinks(targetPath);
    bool inPlace = false;
    if (!CheckTarget(inPlace)) return false;
    if (inPlace) {
        if (!OpenInPlace()) return false;
        buffer_.reserve(kBufferSize);
        step_ = Step::Write;
        return true;
    }
    step_ = Step::Create;
    attemptedTemp_ = tempPath.empty()
                         ? FolderOf(targetPath_) + "." +
                               targetPath_.substr(FolderOf(targetPath_).size()) + ".XXXXXX"
                         : tempPath;
    if (faults::ShouldFail("safefile.create")) return Fail(EIO);
    const bool created =
        tempPath.empty() ? CreateUniqueTemp(targetPath_) : CreateNamedTemp(tempPath);
    if (!created) return false;

    // The new version keeps the permission bits of the file it replaces.
    struct stat target {};
    const mode_t mode =
        stat(targetPath_.c_str(), &target) == 0 ? (target.st_mode & 07777) : DefaultMode();
    if (fchmod(fd_, mode) != 0) {
        const int error = errno;
        Abort();
        return Fail(error);
    }
    buffer_.reserve(kBufferSize);
    step_ = Step::Write;
    return true;
}

bool SafeFile::CreateNamedTemp(const std::string& tempPath) {
    // Whatever stands at that name (a stale temporary, or a symlink planted there) is removed,
    // and O_EXCL | O_NOFOLLOW then guarantee that we write a file of our own.
    if (unlink(tempPath.c_str()) != 0 && errno != ENOENT) return Fail(errno);
    const int fd =
        open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Fail(errno);
    fd_ = fd;
    tempPath_ = tempPath;
    return true;
}

bool SafeFile::CreateUniqueTemp(const std::string& targetPath) {
    // The temporary goes beside the file the link names: the rename only works inside one folder.
    const std::string folder = FolderOf(targetPath);
    const std::string name = targetPath.substr(folder.size());
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    fd_ = fd;
    tempPath_ = pattern;
    return true;
}

bool SafeFile::Write(const void* data, size_t size) {
    if (fd_ < 0 || failed_) {
        if (error_.empty()) error_ = "file is not open for writing";
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (buffer_.size() + size <= kBufferSize) {
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        return true;
    }
    if (!FlushBuffer()) return false;
    if (size >= kBufferSize) return WriteAll(bytes, size);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
}

bool SafeFile::FlushBuffer() {
    if (buffer_.empty()) return true;
    const bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool SafeFile::WriteAll(const uint8_t* data, size_t size) {
    while (size > 0) {
        if (faults::ShouldFail("safefile.write")) return Fail(ENOSPC);
        const ssize_t written = write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool SafeFile::StartSync() {
    if (fd_ < 0 || failed_) {
        if (error_.empty()) error_ = "file is not open for writing";
        return false;
    }
    if (!FlushBuffer()) return false;
    // Only a hint: Commit's fsync is what makes the file durable, so a failure here is left
    // for it to find.
    sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

bool SafeFile::Commit(bool syncFolder) {
    if (fd_ < 0 || failed_) {
        if (error_.empty()) error_ = "file is not open for writing";
        Abort();
        return false;
    }
    bool ok = FlushBuffer();
    if (inPlace_) return CloseInPlace(ok);
    faults::Pass("flush");
    if (ok && faults::ShouldFail("safefile.sync")) ok = Fail(EIO);
    if (ok && fsync(fd_) != 0) ok = Fail(errno);
    if (ok) {
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) ok = Fail(errno);
    }
    if (ok) step_ = Step::Rename;
    if (ok && faults::ShouldFail("safefile.rename")) ok = Fail(EIO);
    if (ok && rename(tempPath_.c_str(), targetPath_.c_str()) != 0) ok = Fail(errno);
    if (!ok) {
        Abort();
        return false;
    }
    tempPath_.clear();
    buffer_.clear();
    if (syncFolder) SyncFolderOf(targetPath_);
    return true;
}

bool SafeFile::CommitUnflushed() {
    if (fd_ < 0 || failed_) {
        if (error_.empty()) error_ = "file is not open for writing";
        Abort();
        return false;
    }
    bool ok = FlushBuffer();
    if (inPlace_) return CloseInPlace(ok);
    if (ok) {
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) ok = Fail(errno);
    }
    if (ok) step_ = Step::Rename;
    if (ok && faults::ShouldFail("safefile.rename")) ok = Fail(EIO);
    if (ok && rename(tempPath_.c_str(), targetPath_.c_str()) != 0) ok = Fail(errno);
    if (!ok) {
        Abort();
        return false;
    }
    tempPath_.clear();
    buffer_.clear();
    return true;
}

bool SyncFileSystemOf(const std::string& path, std::string* why) {
    const std::string folder = FolderOf(path);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = fd >= 0;
    faults::Pass("flush");
    if (ok && faults::ShouldFail("safefile.sync")) {
        errno = EIO;
        ok = false;
    }
    if (ok && syncfs(fd) != 0) ok = false;
    const int error = errno;
    if (fd >= 0) close(fd);
    if (!ok && why != nullptr) *why = std::strerror(error);
    return ok;
}

// Makes a rename durable. The new version is in place by then whatever happens here, so a
// folder that cannot be synced does not turn a commit into a failure.
void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A device or FIFO has no disk to wait for; what it took cannot be taken back, so a failure
// is only reported.
bool SafeFile::CloseInPlace(bool ok) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 && ok) ok = Fail(errno);
    inPlace_ = false;
    buffer_.clear();
    return ok;
}

void SafeFile::Abort() {
    inPlace_ = false;
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    buffer_.clear();
}

std::string SafeFile::DescribeFailure() const {
    switch (failedStep_) {
        case Step::Check:
            return targetPath_ + ": " + error_;
        case Step::Create:
        case Step::Write:
            return (inPlace_ || attemptedTemp_.empty() ? targetPath_ : attemptedTemp_) + ": " +
                   error_;
        case Step::Rename:
            return attemptedTemp_ + " -> " + targetPath_ + ": " + error_;
    }
    return error_;
}

bool SafeFile::Fail(int errorNumber) {
    failed_ = true;
    failedStep_ = step_;
    error_ = std::strerror(errorNumber);
    return false;
}

bool CanReplaceFile(const std::string& path, std::string* why) {
    struct stat info {};
    std::string problem;
    if (stat(ResolveLinks(path).c_str(), &info) != 0) {
        if (errno != ENOENT) problem = std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        problem = std::strerror(EISDIR);
    } else if (S_ISSOCK(info.st_mode)) {
        problem = "is a socket";
    } else if (S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
        problem = std::strerror(EACCES);
    }
    if (problem.empty()) return true;
    if (why != nullptr) *why = problem;
    return false;
}

bool WriteFileSafely(const std::string& path, ByteSpan bytes, std::string* why) {
    SafeFile file;
    const bool ok = file.Begin(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
    if (!ok && why != nullptr) *why = file.GetError();
    return ok;
}

SafeFileBatch::~SafeFileBatch() { Abort(); }

bool SafeFileBatch::Add(const std::string& path, ByteSpan bytes, std::string* why) {
    auto file = std::make_unique<SafeFile>();
    if (!file->Begin(path) || !file->Write(bytes.data(), bytes.size()) || !file->StartSync()) {
        if (why != nullptr) *why = file->GetError();
        return false;  // the destructor removes the temporary
    }
    files_.push_back({path, std::move(file)});
    return true;
}

std::vector<SafeFileBatch::Outcome> SafeFileBatch::Commit() {
    std::vector<Outcome> outcomes;
    outcomes.reserve(files_.size());
    // The writes were all started by Add: the first fsync waits for most of the batch, and the
    // rest find their bytes already on disk.
    std::vector<std::string> folders;  // each once, synced when every rename is done
    std::vector<std::string> someFileIn;
    for (Pending& pending : files_) {
        Outcome outcome;
        outcome.path = pending.path;
        outcome.committed = pending.file->Commit(false);
        if (!outcome.committed) outcome.error = pending.file->GetError();
        const std::string folder = FolderOf(pending.path);
        if (outcome.committed &&
            std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
            someFileIn.push_back(pending.path);
        }
        outcomes.push_back(std::move(outcome));
    }
    files_.clear();
    for (const std::string& path : someFileIn) SyncFolderOf(path);
    return outcomes;
}

void SafeFileBatch::Abort() { files_.clear(); }

}  // namespace vox

#include "pack/outputfolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vox::pack {
namespace {

constexpr size_t kUniqueLength = 6;  // the XXXXXX mkdtemp fills

// True when the folder holds nothing but "." and "..".
bool IsEmptyFolder(const std::string& path, std::string& why) {
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    bool empty = true;
    while (const dirent* item = readdir(dir)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(dir);
    if (!empty) why = path + ": the folder is not empty (give a new or empty folder)";
    return empty;
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void SyncFolder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The permission bits a plain mkdir(0777) would give. The mask can only be read by setting
// it, which is harmless here: the command runs on one thread.
mode_t FolderModeFromUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0777 & ~mask;
}

// The pid in "BASE.partial-PID-XXXXXX", or -1 when name is not of that form.
pid_t PartialOwner(const std::string& name, const std::string& base) {
    const std::string prefix = base + OutputFolder::kPartialMark;
    if (name.size() <= prefix.size() + 1 + kUniqueLength) return -1;
    if (name.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string rest = name.substr(prefix.size());
    const size_t dash = rest.size() - kUniqueLength - 1;
    if (rest[dash] != '-' || dash > 9) return -1;
    long pid = 0;
    for (size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9') return -1;
        pid = pid * 10 + (rest[i] - '0');
    }
    for (size_t i = dash + 1; i < rest.size(); ++i)
        if (std::isalnum(static_cast<unsigned char>(rest[i])) == 0) return -1;
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : -1;
}

bool ProcessIsGone(pid_t pid) { return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

int SweepStalePartials(const std::string& parent, const std::string& base) {
    DIR* dir = opendir(parent.c_str());
    if (dir == nullptr) return 0;
    std::vector<std::string> stale;
    while (const dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        const pid_t owner = PartialOwner(name, base);
        if (owner < 0 || !ProcessIsGone(owner)) continue;
        struct stat info {};
        const std::string path = Joined(parent, name);
        // Only a real folder of this user: never a link, nor someone else's folder.
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid())
            stale.push_back(path);
    }
    closedir(dir);
    int removed = 0;
    for (const std::string& path : stale) {
        std::error_code error;
        if (std::filesystem::remove_all(path, error) != static_cast<std::uintmax_t>(-1) && !error)
            ++removed;
    }
    return removed;
}

OutputFolder::~OutputFolder() {
    if (!committed_) RollBack();
}

bool OutputFolder::Check(const std::string& path, std::string& why) {
    target_ = path;
    while (target_.size() > 1 && target_.back() == '/') target_.pop_back();
    if (target_.empty()) {
        why = "no folder given";
        return false;
    }
    real_ = target_;
    struct stat info {};
    if (lstat(real_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // The result takes the place of the folder the link names, so the link stays valid.
        char* resolved = realpath(target_.c_str(), nullptr);
        if (resolved == nullptr) {
            why = target_ + ": " + std::strerror(errno);
            return false;
        }
        real_ = resolved;
        std::free(resolved);
    }
    const size_t slash = real_.rfind('/');
    parent_ = slash == std::string::npos ? "." : slash == 0 ? "/" : real_.substr(0, slash);
    base_ = slash == std::string::npos ? real_ : real_.substr(slash + 1);
    if (base_.empty() || base_ == "." || base_ == "..") {
        why = target_ +
              ": name the folder itself (a folder named \".\", \"..\" or \"/\" cannot be "
              "replaced in one step)";
        return false;
    }
    if (stat(real_.c_str(), &info) != 0) {
        targetExisted_ = false;
        if (errno == ENOENT) return true;
        why = target_ + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = target_ + ": exists and is not a folder";
        return false;
    }
    targetExisted_ = true;
    targetMode_ = info.st_mode & 07777;
    return IsEmptyFolder(target_, why);
}

bool OutputFolder::MakeParents(std::string& why) {
    // Each missing level is made in turn, so that a rollback removes exactly what was made.
    for (size_t slash = parent_.find('/', 1);; slash = parent_.find('/', slash + 1)) {
        const std::string level = parent_.substr(0, slash);
        if (mkdir(level.c_str(), 0777) == 0) {
            madeParents_.push_back(level);
        } else if (errno != EEXIST) {
            why = level + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (stat(parent_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = parent_ + ": cannot be made a folder";
        return false;
    }
    return true;
}

bool OutputFolder::MakeTemporary(std::string& why) {
    std::string pattern = Joined(parent_, base_ + kPartialMark + std::to_string(getpid()) + "-" +
                                              std::string(kUniqueLength, 'X'));
    if (mkdtemp(pattern.data()) == nullptr) {
        why = target_ + ": cannot make a temporary folder beside it: " + std::strerror(errno);
        return false;
    }
    temp_ = pattern;
    tempFolders_.push_back(temp_);
    // mkdtemp makes it private; the result should look as the target did, or as a new folder.
    const mode_t mode = targetExisted_ ? targetMode_ : FolderModeFromUmask();
    if (chmod(temp_.c_str(), mode) != 0) {
        why = temp_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFolder::Create(std::string& why) {
    if (!MakeParents(why)) return false;
    SweepStalePartials(parent_, base_);
    return MakeTemporary(why);
}

bool OutputFolder::MakeSubfolder(const std::string& name, std::string& why) {
    const std::string path = TempPathOf(name);
    if (mkdir(path.c_str(), 0777) != 0) {
        why = TargetPathOf(name) + ": " + std::strerror(errno);
        return false;
    }
    tempFolders_.push_back(path);
    return true;
}

bool OutputFolder::WriteFile(const std::string& name, ByteSpan bytes, std::string& why) {
    const auto write = [bytes](ByteSink& sink) { return sink.Write(bytes.data(), bytes.size()); };
    return WriteStreamed(name, write, why);
}

bool OutputFolder::WriteStreamed(const std::string& name,
                                 const std::function<bool(ByteSink&)>& produce, std::string& why) {
    // Messages name the file where the user will look for it, not its temporary place.
    const std::string shown = TargetPathOf(name);
    SafeFile file;
    if (!file.Begin(TempPathOf(name))) {
        why = shown + ": " + file.GetError();
        return false;
    }
    if (!produce(file)) {
        // A failed write says why through the file; a refusal of the producer through why.
        why = shown + ": " + (file.GetError().empty() ? why : file.GetError());
        return false;
    }
    if (!file.Commit()) {
        why = shown + ": " + file.GetError();
        return false;
    }
    return true;
}

bool OutputFolder::Commit(std::string& why) {
    if (temp_.empty()) {
        why = target_ + ": nothing was made to put in place";
        return false;
    }
    // Files are synced as they are written; the folders' own entries are synced here, so that
    // after the rename the result is on disk whole.
    for (auto it = tempFolders_.rbegin(); it != tempFolders_.rend(); ++it) SyncFolder(*it);
    // rename(2) replaces an empty folder and refuses one that is not: a folder somebody filled
    // since the check is left alone.
    if (rename(temp_.c_str(), real_.c_str()) != 0) {
        why = errno == ENOTEMPTY || errno == EEXIST
                  ? target_ + ": the folder is not empty (give a new or empty folder)"
                  : target_ + ": " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    SyncFolder(parent_);
    return true;
}

void OutputFolder::RollBack() {
    if (!temp_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(temp_, ignored);
        temp_.clear();
    }
    for (auto it = madeParents_.rbegin(); it != madeParents_.rend(); ++it) rmdir(it->c_str());
    madeParents_.clear();
    tempFolders_.clear();
}

}  // namespace vox::pack

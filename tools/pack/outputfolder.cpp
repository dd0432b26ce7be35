#include "tools/pack/outputfolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vox::pack {
namespace {

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

}  // namespace

OutputFolder::~OutputFolder() {
    if (!keep_) RollBack();
}

bool OutputFolder::Check(const std::string& path, std::string& why) {
    path_ = path;
    while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    if (path_.empty()) {
        why = "no folder given";
        return false;
    }
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;
        why = path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = path_ + ": exists and is not a folder";
        return false;
    }
    return IsEmptyFolder(path_, why);
}

bool OutputFolder::Create(std::string& why) {
    // Each missing level is made in turn, so that a rollback removes exactly what was made.
    for (size_t slash = path_.find('/', 1);; slash = path_.find('/', slash + 1)) {
        const std::string level = path_.substr(0, slash);
        if (mkdir(level.c_str(), 0777) == 0) {
            madeFolders_.push_back(level);
        } else if (errno != EEXIST) {
            why = level + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = path_ + ": cannot be made a folder";
        return false;
    }
    return true;
}

bool OutputFolder::MakeSubfolder(const std::string& name, std::string& why) {
    const std::string path = PathOf(name);
    if (mkdir(path.c_str(), 0777) != 0) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    madeFolders_.push_back(path);
    return true;
}

bool OutputFolder::WriteFile(const std::string& name, ByteSpan bytes, std::string& why) {
    return WriteStreamed(name, [bytes](ByteSink& sink) { return sink.Write(bytes.data(), bytes.size()); },
                         why);
}

bool OutputFolder::WriteStreamed(const std::string& name,
                                 const std::function<bool(ByteSink&)>& produce, std::string& why) {
    const std::string path = PathOf(name);
    SafeFile file;
    if (!file.Begin(path)) {
        why = path + ": " + file.GetError();
        return false;
    }
    if (!produce(file)) {
        // A failed write says why through the file; a refusal of the producer through why.
        why = path + ": " + (file.GetError().empty() ? why : file.GetError());
        return false;
    }
    if (!file.Commit()) {
        why = path + ": " + file.GetError();
        return false;
    }
    madeFiles_.push_back(path);
    return true;
}

void OutputFolder::RollBack() {
    for (auto it = madeFiles_.rbegin(); it != madeFiles_.rend(); ++it) unlink(it->c_str());
    for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) rmdir(it->c_str());
    madeFiles_.clear();
    madeFolders_.clear();
}

}  // namespace vox::pack

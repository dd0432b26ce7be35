#include "pack/folderupdate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pack/descriptionreader.h"
#include "pack/packdescription.h"
#include "talkdata/safefile.h"
#include "talkdata/wholefile.h"

namespace vox::pack {
namespace {

// Only a plain path below the folder may be replaced or removed: a description edited by hand
// could name "../x" or "/etc/x".
bool IsInsideName(const std::string& name) {
    if (name.empty() || name.front() == '/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = std::min(name.find('/', start), name.size());
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = slash + 1;
    }
    return true;
}

void AddNamesOf(const PackDescription& d, std::set<std::string>& names) {
    names.insert(kDescriptionFileName);
    if (!d.phrasesFile.empty()) names.insert(d.phrasesFile);
    if (!d.commNamesFile.empty()) names.insert(d.commNamesFile);
    for (const EntryDescription& e : d.entries) {
        names.insert(e.wave);
        if (!e.codedFile.empty()) names.insert(e.codedFile);
        if (e.hasCoded && e.codedFile.empty()) names.insert(kCodedFileName);
    }
}

}  // namespace

bool FolderUpdate::Open(const std::string& folder, std::string& why) {
    folder_ = folder;
    std::vector<uint8_t> text;
    const std::string path = PathOf(kDescriptionFileName);
    if (!ReadWholeFile(path, text, why)) {
        why = path + ": " + why;
        return false;
    }
    PackDescription earlier;
    DescriptionError error;
    if (!ReadDescription(text, earlier, error)) {
        why = path + ":" + std::to_string(error.line) + ": " + error.message +
              " (an update replaces only the files the description names)";
        return false;
    }
    AddNamesOf(earlier, earlier_);
    return true;
}

bool FolderUpdate::MakeSubfolder(const std::string& name, std::string& why) {
    const std::string path = PathOf(name);
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    if (mkdir(path.c_str(), 0777) == 0) return true;
    why = path + ": " + std::strerror(errno);
    return false;
}

bool FolderUpdate::WriteFile(const std::string& name, ByteSpan bytes, std::string& why) {
    if (name == kDescriptionFileName) {
        // Kept for Commit: the description must not name files before they are on the disk.
        description_.assign(bytes.begin(), bytes.end());
        haveDescription_ = true;
        return true;
    }
    if (!Replace(name, bytes, why)) return false;
    made_.insert(name);
    return true;
}

bool FolderUpdate::Replace(const std::string& name, ByteSpan bytes, std::string& why) {
    const std::string path = PathOf(name);
    if (!IsInsideName(name)) {
        why = path + ": not a plain name inside the folder";
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A link could lead anywhere; writing through it would change a file unpack never made.
        why = path + ": not a regular file (an update replaces only files that unpack made)";
        return false;
    }
    std::vector<uint8_t> old;
    std::string ignored;
    if (ReadWholeFile(path, old, ignored) &&
        std::equal(old.begin(), old.end(), bytes.begin(), bytes.end())) {
        ++counts_.unchanged;
        return true;
    }
    SafeFile file;
    if (!file.Begin(path) || !file.Write(bytes.data(), bytes.size()) || !file.CommitUnflushed()) {
        why = file.DescribeFailure();
        return false;
    }
    ++counts_.written;
    return true;
}

bool FolderUpdate::Commit(std::string& why) {
    if (!SyncFileSystemOf(PathOf(kDescriptionFileName), &why)) return false;
    if (haveDescription_) {
        std::vector<uint8_t> old;
        std::string ignored;
        const std::string path = PathOf(kDescriptionFileName);
        if (ReadWholeFile(path, old, ignored) && old == description_) {
            ++counts_.unchanged;
        } else {
            if (!WriteFileSafely(path, description_, &why)) return false;
            ++counts_.written;
        }
        made_.insert(kDescriptionFileName);
    }
    RemoveLeftOver();
    return true;
}

// What the earlier description named and this one does not: a take that was dropped, the
// shared coded-bytes file of format 1. Removing it after the new description is in place means
// a stop in between leaves an extra file, never a description naming a missing one.
void FolderUpdate::RemoveLeftOver() {
    for (const std::string& name : earlier_) {
        if (made_.count(name) != 0 || !IsInsideName(name)) continue;
        struct stat st {};
        const std::string path = PathOf(name);
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (unlink(path.c_str()) == 0) {
            ++counts_.removed;
            SyncFolderOf(path);
        }
    }
}

}  // namespace vox::pack

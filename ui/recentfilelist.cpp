#include "ui/recentfilelist.h"

#include <algorithm>

namespace vox {
namespace {
std::string Key(int i) { return "File" + std::to_string(i + 1); }
}  // namespace

void RecentFileList::Load(const Profile& profile) {
    files_.clear();
    for (int i = 0; i < kSize; ++i) {
        const std::string path = profile.GetString(kSection, Key(i), "");
        if (!path.empty() && std::find(files_.begin(), files_.end(), path) == files_.end()) {
            files_.push_back(path);
        }
    }
}

void RecentFileList::Save(Profile& profile) const {
    for (int i = 0; i < kSize; ++i) {
        const size_t index = static_cast<size_t>(i);
        profile.WriteString(kSection, Key(i), index < files_.size() ? files_[index] : "");
    }
}

void RecentFileList::Add(const std::string& path) {
    if (path.empty()) return;
    Remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > static_cast<size_t>(kSize)) files_.resize(kSize);
}

void RecentFileList::Remove(const std::string& path) { std::erase(files_, path); }

}  // namespace vox

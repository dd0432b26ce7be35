#pragma once

#include <string>
#include <vector>

#include "talkdata/profile.h"

namespace vox {

// The most recently opened files, newest first, kept in the profile under "Recent File List" as
// "File1" to "File6".
class RecentFileList {
  public:
    static constexpr int kSize = 6;
    static constexpr const char* kSection = "Recent File List";

    void Load(const Profile& profile);
    // Writes every key, emptying those beyond the list, so that a shorter list leaves no stale
    // entries behind.
    void Save(Profile& profile) const;

    // Puts path first, dropping an older entry of the same path and the oldest beyond kSize.
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Files() const { return files_; }

  private:
    std::vector<std::string> files_;
};

}  // namespace vox

#pragma once

#include <set>
#include <string>
#include <vector>

#include "pack/unpacktarget.h"

namespace vox::pack {

// Brings a folder that an earlier unpack filled up to date, so that version control sees only
// what changed. A file whose bytes are already right is not touched (nor its time); any other
// goes to a temporary file and is renamed over the old one, so each file is always whole, old
// or new. The description is written last, after everything else is on the disk, and the
// files the earlier description named that this one does not are removed after it. Files the
// earlier description did not name (a .git folder, notes of the team's own) are left alone.
class FolderUpdate : public UnpackTarget {
  public:
    struct Counts {
        int written = 0;
        int unchanged = 0;
        int removed = 0;
    };

    // Reads the folder's description to learn which files an earlier unpack made there.
    // Refuses a folder whose description cannot be read: nothing can be known to be ours.
    bool Open(const std::string& folder, std::string& why);
    bool MakeSubfolder(const std::string& name, std::string& why) override;
    bool WriteFile(const std::string& name, ByteSpan bytes, std::string& why) override;
    bool Commit(std::string& why) override;

    const Counts& GetCounts() const { return counts_; }

  private:
    std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }
    bool Replace(const std::string& name, ByteSpan bytes, std::string& why);
    void RemoveLeftOver();

    std::string folder_;
    std::set<std::string> earlier_;  // the files the earlier description named
    std::set<std::string> made_;     // the files this update made or found right
    std::vector<uint8_t> description_;
    bool haveDescription_ = false;
    Counts counts_;
};

}  // namespace vox::pack

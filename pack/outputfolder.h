#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "pack/unpacktarget.h"
#include "talkdata/bytes.h"
#include "talkdata/safefile.h"

namespace vox::pack {

// The folder a command fills. It must be new or empty, so nothing that was there can be lost.
// Everything goes into a temporary folder beside it ("NAME.partial-PID-XXXXXX"), every file
// flushed to disk, and Commit() renames that folder onto the target in one step: whether the
// command succeeds, fails, is stopped or is killed, the target is either as it was or
// complete. Unless Commit() succeeds, the destructor removes the temporary folder and any
// parent folder this object made.
class OutputFolder : public UnpackTarget {
  public:
    static constexpr const char* kPartialMark = ".partial-";

    OutputFolder() = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder() override;

    // Refuses an existing folder that is not empty (or not a folder) without touching it. Does
    // not create anything yet: Create() does, once the command knows it will write.
    bool Check(const std::string& path, std::string& why);
    // Creates missing parent folders and the temporary folder. Temporary folders of this
    // target that earlier runs left behind when they were killed are removed first.
    bool Create(std::string& why);
    bool MakeSubfolder(const std::string& name, std::string& why) override;
    bool WriteFile(const std::string& name, ByteSpan bytes, std::string& why) override;
    // Streams a file: produce writes its bytes to the sink; false from it discards the file.
    bool WriteStreamed(const std::string& name, const std::function<bool(ByteSink&)>& produce,
                       std::string& why);
    // Puts the filled folder in the target's place. False leaves the target as it was.
    bool Commit(std::string& why) override;

    const std::string& TemporaryPath() const { return temp_; }

  private:
    std::string TargetPathOf(const std::string& name) const { return target_ + "/" + name; }
    std::string TempPathOf(const std::string& name) const { return temp_ + "/" + name; }
    bool MakeParents(std::string& why);
    bool MakeTemporary(std::string& why);
    void RollBack();

    std::string target_;  // as the caller named it, for messages
    std::string real_;    // where the result goes: the target with a symbolic link resolved
    std::string parent_;
    std::string base_;
    std::string temp_;
    bool targetExisted_ = false;
    mode_t targetMode_ = 0;
    std::vector<std::string> madeParents_;  // in the order made
    std::vector<std::string> tempFolders_;  // the temporary folder and its subfolders
    bool committed_ = false;
};

// Removes the folders "BASE.partial-PID-XXXXXX" in parent whose process PID no longer runs and
// that belong to this user: what a killed run of pack or unpack leaves. Returns how many.
int SweepStalePartials(const std::string& parent, const std::string& base);

}  // namespace vox::pack

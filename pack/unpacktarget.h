#pragma once

#include <string>

#include "talkdata/bytes.h"

namespace vox::pack {

// Where unpack puts the files it makes: a new folder built aside and renamed into place
// (OutputFolder), or a folder an earlier unpack filled, brought up to date (FolderUpdate).
class UnpackTarget {
  public:
    virtual ~UnpackTarget() = default;
    virtual bool MakeSubfolder(const std::string& name, std::string& why) = 0;
    virtual bool WriteFile(const std::string& name, ByteSpan bytes, std::string& why) = 0;
    // Makes the result complete and durable. Until it succeeds, the target holds either what
    // it held before or, for an update, files each whole, old or new.
    virtual bool Commit(std::string& why) = 0;
};

}  // namespace vox::pack

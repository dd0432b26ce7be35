#pragma once

#include <functional>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/safefile.h"

namespace vox::pack {

// The folder a command fills. It must be new or empty, so nothing that was there can be lost;
// every file goes in through SafeFile (temporary name, flush, rename). Unless Keep() is called,
// the destructor removes every file and folder this object made, so a failed command leaves
// things as they were.
class OutputFolder {
public:
    OutputFolder() = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();

    // Refuses an existing folder that is not empty (or not a folder) without touching it. Does
    // not create anything yet: Create() does, once the command knows it will write.
    bool Check(const std::string& path, std::string& why);
    // Creates the folder (and missing parents) when it does not exist.
    bool Create(std::string& why);
    bool MakeSubfolder(const std::string& name, std::string& why);
    bool WriteFile(const std::string& name, ByteSpan bytes, std::string& why);
    // Streams a file: produce writes its bytes to the sink; false from it discards the file.
    bool WriteStreamed(const std::string& name, const std::function<bool(ByteSink&)>& produce,
                       std::string& why);
    void Keep() { keep_ = true; }

    std::string PathOf(const std::string& name) const { return path_ + "/" + name; }

private:
    void RollBack();

    std::string path_;
    std::vector<std::string> madeFolders_;  // in the order made
    std::vector<std::string> madeFiles_;
    bool keep_ = false;
};

}  // namespace vox::pack

#pragma once

#include <deque>
#include <string>
#include <vector>

#include "audio/speechcodec.h"
#include "pack/folderhistory.h"
#include "pack/outputfolder.h"
#include "pack/packdescription.h"
#include "pack/talkwriter.h"
#include "pack/unpacker.h"
#include "talkdata/progress.h"

namespace vox::pack {

// Builds a complete database from an unpacked folder: the talk file named by the description,
// fragFile.bin, evalFile.bin, commFile.bin and the side files, in a new or empty folder. All
// input is read, checked and coded before the first byte is written; a refusal names the file
// and line and leaves nothing behind. A wave whose samples still hash to what unpack wrote
// keeps its coded bytes; any other wave is coded (and converted first when it is not 8000 Hz
// 16-bit mono, with a note). The output is built beside outFolder and put in its place at
// the end, so a failed, stopped or killed pack leaves no part of a database there. A folder
// with a history.txt also gets the history file, its earlier takes after the current entries.
class Packer {
  public:
    explicit Packer(NoteFn note);
    // progress counts the recordings as they are read and coded, and reaches its total once
    // everything is written; false from it stops the pack with nothing written (Stopped()).
    bool Pack(const std::string& folder, const std::string& outFolder,
              const ProgressFn& progress = {});
    const std::string& GetError() const { return error_; }
    bool Stopped() const { return stopped_; }

  private:
    struct SideFile {
        std::string name;
        std::vector<uint8_t> bytes;
    };

    bool Refuse(int line, const std::string& why);
    bool ReadInputs(const std::string& folder, PackDescription& d);
    bool ReadSideFiles(const std::string& folder, const PackDescription& d);
    bool ReadCodedFile(const std::string& folder, const PackDescription& d);
    bool KeepCodedFile(const std::string& folder, const EntryDescription& entry);
    bool PrepareEntry(const std::string& folder, const EntryDescription& entry);
    bool ReadHistoryFolder(const std::string& folder, const PackDescription& d);
    bool ReadEarlierTake(const std::string& folder, const std::string& name);
    bool LoadWavePcm(const std::string& folder, const EntryDescription& entry,
                     std::vector<uint8_t>& pcm, bool& converted);
    bool WriteHistoryFile(const PackDescription& d, OutputFolder& out, std::string& why) const;
    bool WriteOutput(const PackDescription& d, const std::string& outFolder,
                     const ProgressFn& progress);
    bool Stop();

    NoteFn note_;
    SpeechCodec codec_;
    bool codecReady_ = false;
    std::string error_;
    bool stopped_ = false;
    std::string descriptionPath_;
    std::vector<uint8_t> codedFile_;
    std::deque<std::vector<uint8_t>>
        codedBuffers_;  // coded now, or read per entry; a deque keeps spans valid
    std::vector<CodedEntry> entries_;
    std::vector<SideFile> sideFiles_;
    bool hasHistory_ = false;
    FolderHistoryInput history_;
    std::vector<CodedEntry> earlier_;  // the earlier takes history_ names, in its order
};

}  // namespace vox::pack

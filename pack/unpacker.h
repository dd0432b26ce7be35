#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "audio/speechcodec.h"
#include "pack/folderupdate.h"
#include "pack/packdescription.h"
#include "talkdata/bytes.h"
#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "talkdata/progress.h"
#include "talkdata/talkhistory.h"

namespace vox::pack {

// Receives the notes a command has for the user (one line each, no trailing newline).
using NoteFn = std::function<void(const std::string&)>;

// What unpack reads: the talk file's bytes, the two loaded list tables, the comm file's bytes
// and, when the user works with them, the phrase and comm-name files to copy.
struct UnpackSource {
    std::string talkName;  // the talk file's name without its folder
    ByteSpan talk;
    const FragTable* frags = nullptr;
    const EvalTable* evals = nullptr;
    ByteSpan comm;
    std::string phrasesPath;  // empty: none
    std::string commNamesPath;
    const History* history = nullptr;  // the talk file's history; null or empty: none
};

// Writes a database into a new or empty folder as ordinary files: the description, one wave
// file per talk entry with the entry's coded bytes beside it (so that pack keeps them while
// the wave is unchanged) and copies of the side files. The description holds everything the
// workbench reads from the database; where the files hold more (bytes no slot points to, tables not
// in the regular layout) or hold something pack would refuse, a note says so. The folder is built
// beside the target and put in its place at the end, so nothing is left there when it fails, is
// stopped or is killed. A history goes into history.txt, with the earlier takes it names.
class Unpacker {
  public:
    static constexpr const char* kPhrasesName = "phrases.csv";
    static constexpr const char* kCommNamesName = "commnames.csv";

    explicit Unpacker(NoteFn note);
    // progress counts the recordings as they are decoded and written, and reaches its total
    // once everything is written; false from it stops with nothing written (Stopped()).
    bool Unpack(const UnpackSource& source, const std::string& folder,
                const ProgressFn& progress = {});
    // Brings a folder an earlier unpack made up to date: only the files whose bytes differ are
    // written, the description last, and the files it no longer names are removed. A folder
    // without a description gets a plain Unpack. A stop leaves each file whole, old or new, and
    // the earlier description, which pack still reads: a wave that changed is coded again.
    bool Update(const UnpackSource& source, const std::string& folder,
                const ProgressFn& progress = {});
    // After an Update: how many files were written, found unchanged and removed.
    const FolderUpdate::Counts& GetUpdateCounts() const { return updateCounts_; }
    const std::string& GetError() const { return error_; }
    bool Stopped() const { return stopped_; }

  private:
    struct Recording {
        uint32_t offset = 0;  // in the talk file
        std::vector<int> slots;
    };

    bool Fail(const std::string& why);
    bool Stop();
    bool Begin(const UnpackSource& source);
    bool Describe(const UnpackSource& source, std::vector<Recording>& recordings,
                  PackDescription& d);
    bool WriteAll(const UnpackSource& source, const std::vector<Recording>& recordings,
                  PackDescription& d, UnpackTarget& out, const ProgressFn& progress);
    bool CollectRecordings(ByteSpan talk, std::vector<Recording>& recordings);
    void DescribeTables(const UnpackSource& source, PackDescription& d) const;
    void NameWaves(const std::vector<Recording>& recordings, PackDescription& d) const;
    bool WriteWaves(ByteSpan talk, const std::vector<Recording>& recordings, PackDescription& d,
                    UnpackTarget& out, const ProgressFn& progress);
    void NoteIrregularities(const UnpackSource& source, const PackDescription& d);
    bool WriteHistory(const UnpackSource& source, const std::vector<Recording>& recordings,
                      const PackDescription& d, UnpackTarget& out);
    bool CopySideFile(const std::string& from, const char* name, UnpackTarget& out);

    NoteFn note_;
    SpeechCodec codec_;
    bool codecReady_ = false;
    std::string error_;
    bool stopped_ = false;
    bool updating_ = false;
    FolderUpdate::Counts updateCounts_;
    uint64_t keptByHistory_ = 0;  // the earlier takes' entries, which pack puts back
};

}  // namespace vox::pack

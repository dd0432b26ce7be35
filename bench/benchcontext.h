#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "talkdata/memoryprofile.h"
#include "workbench/document.h"

namespace vox::bench {

// The database a run measures (VOXBENCH_DB, the talk file's path) and a folder for what the
// benchmarks write (VOXBENCH_SCRATCH), both given by bench/run.sh.
const std::string& DatabasePath();
const std::string& ScratchFolder();

// A document on the database, read-write as the workbench opens it, with a silent sound
// device; exits the program when the database does not open.
class OpenedDatabase {
  public:
    OpenedDatabase();
    CVoxbenchDoc& Doc() { return *doc_; }

  private:
    MemoryProfile profile_;
    std::unique_ptr<CVoxbenchDoc> doc_;
};

// The one opened document shared by the benchmarks that only read.
CVoxbenchDoc& SharedDoc();

std::vector<uint8_t> ReadWholeFile(const std::string& path);
std::string FolderOfDatabase();

// Resident memory of this process, from /proc/self/statm.
int64_t ResidentBytes();

struct FragVoice {
    int fragment;
    int voice;
};
// count random (fragment, voice) pairs, each a voice the fragment has.
std::vector<FragVoice> RandomPairs(const CVoxbenchDoc& doc, size_t count);

// The talk entries of fragments 0 up to *lastFragment, all voices, stopping once at least
// maxEntries are taken: every entry of the small database, a fixed sample of the others.
std::vector<int> EntrySample(const CVoxbenchDoc& doc, size_t maxEntries, int* lastFragment);

}  // namespace vox::bench

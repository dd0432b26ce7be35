#pragma once

#include <functional>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/progress.h"
#include "talkdata/voxfile.h"

namespace vox {

// One problem found in a database: the file, the place in it and what is wrong there.
struct VerifyFinding {
    std::string file;          // "fragFile.bin", or the talk file's name
    std::string place;         // "fragment 12", "slot 7 (byte 40)"; empty for the whole file
    std::string problem;       // "voices out of order (5 after 7)"
    std::string Text() const;  // "file: place: problem"
};

struct VerifyReport {
    // In file order: talk, fragments, evals, comms; empty when they went to a FindingSink.
    // At most kMaxListedPerKind findings of one kind are listed (a damaged directory can hold
    // millions of broken slots); one more finding then says how many were left out.
    std::vector<VerifyFinding> findings;
    uint64_t problemCount = 0;  // every problem found, listed or not
    bool cancelled = false;     // progress asked to stop; the findings are partial
    // Another program cut the talk file while it was read: what lay past its new end read as
    // zeros, so the findings describe bytes that are gone.
    bool talkDamaged = false;
    bool IsClean() const { return problemCount == 0 && !cancelled; }

    static constexpr uint64_t kMaxListedPerKind = 100;
};

// Takes each finding as it is made, so that a long report is never held whole.
using FindingSink = std::function<void(const VerifyFinding&)>;

// Decodes one talk entry; false, and why, when the codec refuses it. Verifying lives in the
// data layer, the codec in the audio layer: the caller brings the decoder.
using EntryDecodeCheck = std::function<bool(const VoxEntry& entry, std::string* why)>;

// The bytes of the four files; a file that could not be read is named in missing instead.
struct DatabaseBytes {
    std::string talkName = "talk file";
    ByteSpan talk;
    ByteSpan frags;
    ByteSpan evals;
    ByteSpan comms;
    // Maps the talk file again if it has grown, and gives its new bytes; empty when it has not.
    std::function<ByteSpan()> remapTalk;
};

// Checks everything the formats promise and reports each break with its place: the tables'
// invariants (first offset, lists in order without gaps, voices and indices sorted without
// duplicates), every voxIndex, fragment and eval reference, every talk entry inside the file
// and decoding (each distinct entry once; progress counts the directory's slots), and comm
// lists inside the file. Reads only.
VerifyReport VerifyDatabase(const DatabaseBytes& files, const EntryDecodeCheck& decode,
                            const ProgressFn& progress = {}, const FindingSink& sink = {});

// The talk file's own checks without decoding: the directory's shape and every slot's entry
// inside the file. Cheap enough to run on every open.
VerifyReport VerifyTalkDirectory(ByteSpan talk, const std::string& talkName);

// Maps the talk file and reads its three companion files from its folder, read-only, then
// VerifyDatabase; a file that cannot be read is itself a finding, and so is the journal of a
// batch of slots that a killed writer left half done. When another program's replace points a
// slot past the end that was mapped, the talk file is mapped again before that slot is called
// broken.
VerifyReport VerifyDatabaseFiles(const std::string& talkPath, const EntryDecodeCheck& decode,
                                 const ProgressFn& progress = {}, const FindingSink& sink = {});

}  // namespace vox

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vox::pack {

// What an unpacked folder says about a database, as read from (or written to) its description
// file. Every item keeps the line it came from, so that a refusal can point at it.

// One talk entry: the slots that point at it, its wave file and, when the folder was made by
// unpack, what is needed to keep its coded bytes instead of coding the wave again.
struct EntryDescription {
    std::vector<int> slots;
    std::string wave;  // relative to the folder
    bool hasCoded = false;
    uint32_t decodedSize = 0;
    std::string codedFile;     // format 2: the entry's own file of coded bytes, in the folder
    uint64_t codedOffset = 0;  // format 1: in the folder's shared coded-bytes file
    uint32_t codedSize = 0;
    uint64_t pcmHash = 0;  // of the wave's samples when it was written
    int line = 0;
};

struct FragVoiceDescription {
    int voice = 0;
    int voxIndex = 0;
};

struct FragDescription {
    int frag = 0;
    int number = 0;  // the record's number field
    std::vector<FragVoiceDescription> voices;
    int line = 0;
};

struct EvalAlternativeDescription {
    int index = 0;
    int frag = 0;
};

struct EvalDescription {
    int eval = 0;
    int number = 0;
    std::vector<EvalAlternativeDescription> alternatives;
    int line = 0;
};

struct CommDescription {
    int comm = 0;
    int reserved = 0;
    int warp = 0;
    int priority = 0;
    int position = 0;
    int bullseye = 0;
    int evals = 0;
    std::vector<int> entries;  // >= 0 a fragment, < 0 eval -entry
    int line = 0;
};

struct PackDescription {
    // Format 1 kept every entry's coded bytes in one shared file, so one new recording moved
    // the offsets of all that followed it; format 2 gives each entry a file of its own. Pack
    // reads both, unpack writes the newer.
    static constexpr int kFormatVersion = 2;
    static constexpr int kOldestFormatVersion = 1;

    int version = kFormatVersion;
    std::string talkName;
    int talkNameLine = 0;
    std::array<uint8_t, 12> header{};
    int slotCount = -1;  // -1: one more than the highest slot an entry names
    int slotCountLine = 0;
    std::string phrasesFile;  // empty: none
    int phrasesLine = 0;
    std::string commNamesFile;
    int commNamesLine = 0;
    std::vector<EntryDescription> entries;
    std::vector<FragDescription> frags;
    std::vector<EvalDescription> evals;
    std::vector<CommDescription> comms;

    // The slot count the talk file gets: slotCount, or the default above.
    int EffectiveSlotCount() const;
    // One more than the highest slot an entry names.
    int DefaultSlotCount() const;
};

// A refusal: the line of the description it concerns (0 for the file as a whole) and why.
struct DescriptionError {
    int line = 0;
    std::string message;
};

// Names of the files in an unpacked folder.
inline constexpr const char* kDescriptionFileName = "database.txt";
inline constexpr const char* kCodedFileName = "coded.bin";  // format 1 only
inline constexpr const char* kCodedExtension = ".coded";    // format 2: beside each wave
inline constexpr const char* kWaveFolderName = "waves";

}  // namespace vox::pack

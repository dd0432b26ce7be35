#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/talkhistory.h"

namespace vox::pack {

// The history in an unpacked folder (docs/unpacked-format.md): history.txt holds the history
// file's lines with each offset replaced by the name of a take, and history/ the earlier takes'
// entries, each a 4-byte decodedSize (little-endian) and the coded bytes.
inline constexpr const char* kHistoryFileName = "history.txt";
inline constexpr const char* kHistoryFolderName = "history";

struct TakeFile {
    std::string name;  // "history/f0003-v00-take2.coded"
    std::vector<uint8_t> bytes;
};

// What unpack writes for a history: the text of history.txt and the earlier takes' files.
struct FolderHistory {
    std::string text;
    std::vector<TakeFile> takes;
    std::vector<std::string> notes;
};

// waveAt names the wave of every entry a slot points at, by its offset: those takes are named
// by their wave and not written again. An offset where no whole entry lies becomes a dropped
// take ("x22944"), as compact marks it; the history's bad lines are left out. Each with a note.
FolderHistory HistoryForFolder(const History& history, ByteSpan talk,
                               const std::map<uint32_t, std::string>& waveAt);

// A take named in history.txt: dropped (number is its name), an entry of the description
// (index into its entries) or an earlier take's file (index into takeFiles).
struct TakeRef {
    enum class Kind { kDropped, kCurrent, kEarlier } kind = Kind::kDropped;
    size_t index = 0;
};

struct FolderHistoryLine {
    HistoryLine line;  // offsets of dropped takes as read; the others are set at pack time
    TakeRef oldTake;
    TakeRef newTake;
};

struct FolderHistoryInput {
    std::vector<FolderHistoryLine> lines;
    std::vector<std::string> takeFiles;  // earlier takes, in order of first mention
};

// Reads history.txt; entryOfWave gives the description's entry of a wave name. False, with the
// 1-based line and why, for a line that is not of the format.
bool ReadFolderHistory(ByteSpan text, const std::map<std::string, size_t>& entryOfWave,
                       FolderHistoryInput& out, int& badLine, std::string& why);

// The history file's bytes once the entries lie at currentAt (the description's) and
// earlierAt (takeFiles').
std::string PackedHistoryText(const FolderHistoryInput& input,
                              const std::vector<uint32_t>& currentAt,
                              const std::vector<uint32_t>& earlierAt);

}  // namespace vox::pack

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/packdescription.h"
#include "talkdata/bytes.h"
#include "talkdata/safefile.h"

namespace vox::pack {

// One talk entry ready to be written.
struct CodedEntry {
    uint32_t decodedSize = 0;
    ByteSpan coded;
};

// Writes the whole talk file in one pass: the header, the directory (slot s holds the offset
// of the entry that names s, or 0), then the entries in description order, each decodedSize,
// codedSize and the coded bytes. entries[i] belongs to description.entries[i]. Refused before
// anything is written when the file would pass 4 GiB - 1 (its offsets are 32-bit). earlier
// (the earlier takes a history names) follow the entries, named by no slot.
bool WriteTalk(const PackDescription& description, const std::vector<CodedEntry>& entries,
               const std::vector<CodedEntry>& earlier, ByteSink& out, std::string& why);

// Where each entry, then each of earlier, lies in the file WriteTalk writes (before the 4 GiB
// check, which WriteTalk makes).
std::vector<uint64_t> TalkEntryOffsets(const PackDescription& description,
                                       const std::vector<CodedEntry>& entries,
                                       const std::vector<CodedEntry>& earlier);

}  // namespace vox::pack

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "talkdata/status.h"
#include "workbench/document.h"

namespace vox {

// A recording ready for the talk file: its coded bytes, and the length of the PCM it was
// coded from (the entry's decodedSize).
struct CodedRecording {
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    uint32_t decodedLen = 0;
};

// Reads a wave file in the speech format and codes it with the document's codec. The error is
// the message to show: "Bad wave file" (with the reason on a second line) or "Compression stage
// failed".
Status ReadRecording(CVoxbenchDoc& doc, const std::string& wavePath, CodedRecording& out);

}  // namespace vox

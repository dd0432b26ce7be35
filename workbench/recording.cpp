#include "workbench/recording.h"

#include <vector>

#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"

namespace vox {

Status ReadRecording(CVoxbenchDoc& doc, const std::string& wavePath, CodedRecording& out) {
    std::vector<uint8_t> pcm;
    if (!ReadWave(wavePath, pcm)) return Status::Failure("Bad wave file");
    CodedRecording recording;
    recording.decodedLen = static_cast<uint32_t>(pcm.size());
    // The codec library does not fail on any input; the fault point lets tests reach the
    // message all the same.
    if (faults::ShouldFail("import.encode") ||
        !doc.EncodeSound(pcm.data(), recording.decodedLen, recording.coded, recording.codedLen)) {
        return Status::Failure("Compression stage failed");
    }
    out = std::move(recording);
    return {};
}

}  // namespace vox

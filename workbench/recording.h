#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/takelevels.h"
#include "talkdata/status.h"
#include "workbench/document.h"

namespace vox {

// Where a take goes and what may be done to it on the way.
struct RecordingRequest {
    int fragment = 0;
    // The voice whose take is replaced: the old take is no measure for the new one. Nothing for
    // an add, where every voice the fragment has is another voice.
    std::optional<int> replacedVoice;
    // The person agreed to store the first part of a take longer than an entry holds.
    bool keepFirstPart = false;
    // Bring the take to the median loudness of the fragment's other voices (-23 LUFS without
    // any), never past full scale.
    bool normalize = false;
};

// A recording ready for the talk file: its coded bytes, and the length of the PCM it was
// coded from (the entry's decodedSize), with what happened on the way in.
struct CodedRecording {
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    uint32_t decodedLen = 0;
    TakeLevels levels;  // as the take came in, before any normalization
    // The file's name (no folder) and the hash of its bytes, for the history; a take read from
    // bytes in memory has only the hash, and its caller names it.
    TakeSource source;
    // What was done to the take, a line each: "converted from 48000 Hz stereo 24-bit", "cut to
    // the first 5.06 s", "normalized to -20.0 LUFS (+3.1 dB)".
    std::vector<std::string> notes;
    // What a listener would notice (clipping, silence, a loudness far from the other voices),
    // and a normalization that could not be done. The take is good to store all the same.
    std::vector<std::string> warnings;
};

struct RecordingResult {
    // "Bad wave file" with the reason on a second line, or "Compression stage failed".
    std::string error;
    // Refused for its length alone: the same request with keepFirstPart stores its start.
    bool tooLong = false;
    double takeSeconds = 0;      // the whole take, when tooLong
    double storableSeconds = 0;  // what one entry holds, when tooLong
    CodedRecording recording;    // on success
    bool Ok() const { return error.empty(); }
};

// The one way in for a take: reads any sound file the audio library reads (a speech wave
// exactly as it stands, anything else converted), measures its levels against the fragment's
// other voices, normalizes it when asked, and codes it with the document's codec.
RecordingResult ReadRecording(CVoxbenchDoc& doc, const std::string& path,
                              const RecordingRequest& request);
// The same for a file's bytes already in memory (a take piped in).
RecordingResult ReadRecording(CVoxbenchDoc& doc, ByteSpan file, const RecordingRequest& request);

// The question before a take is cut: "The recording is 6.00 s long; only the first 5.06 s can
// be stored. Store the first 5.06 s?"
std::string TrimQuestion(const RecordingResult& tooLong);

// The recording as the talk file will give it back: decoded from its coded bytes, as long as
// its entry says. False when it does not decode.
bool DecodeRecording(CVoxbenchDoc& doc, const CodedRecording& recording,
                     std::unique_ptr<uint8_t[]>& pcm, uint32_t& pcmLen);

// Queues the recording as DecodeRecording gives it; false when nothing was queued.
bool PlayRecording(CVoxbenchDoc& doc, const CodedRecording& recording);

}  // namespace vox

#include "workbench/recording.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/soundfilereader.h"
#include "audio/takenormalization.h"
#include "talkdata/faultinjection.h"
#include "talkdata/talkhistory.h"
#include "talkdata/wholefile.h"
#include "workbench/voicelevels.h"

namespace vox {
namespace {

constexpr const char* kBadWave = "Bad wave file";
constexpr double kSpeechBytesPerSecond = 16000;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::vector<std::string> FlagWarnings(const TakeLevels& levels, const TakeFlags& flags) {
    std::vector<std::string> warnings;
    if (flags.clipping) {
        warnings.push_back("clips in " + std::to_string(levels.clippedRuns) +
                           (levels.clippedRuns == 1 ? " place" : " places") + " (" +
                           std::to_string(kClipRunSamples) +
                           " or more samples in a row at full scale)");
    }
    if (flags.silent) {
        warnings.push_back("silent throughout: no sample reaches " +
                           Format("%.0f dBFS", kSilenceDbfs));
    }
    if (flags.loudnessOutlier) {
        const double median = levels.loudness - flags.deviationLu;
        warnings.push_back(
            Format("%.1f LU ", std::abs(flags.deviationLu)) +
            (flags.deviationLu > 0 ? "louder" : "quieter") +
            " than the fragment's other voices (their median: " + FormatLoudness(median) + ")");
    }
    return warnings;
}

std::string NormalizedNote(const NormalizedTake& normalized) {
    std::string note = "normalized to " + FormatLoudness(normalized.loudness) +
                       Format(" (%+.1f dB)", normalized.gainDb);
    if (!normalized.reachedTarget) note += "; " + normalized.why;
    return note;
}

// Measures the take against the fragment's other voices and, when asked, brings it to their
// loudness. Clipping and silence are judged on the take as it came: a gain below full scale
// would hide the clipping that is still heard.
void LevelTake(CVoxbenchDoc& doc, const RecordingRequest& request, std::vector<uint8_t>& pcm,
               CodedRecording& recording) {
    const std::vector<double> others =
        OtherVoicesLoudness(doc, request.fragment, request.replacedVoice);
    MeasureTakeLevels(pcm, recording.levels);
    TakeFlags flags = FlagTake(recording.levels, others);
    TakeLevels judged = recording.levels;
    if (request.normalize) {
        NormalizedTake normalized = NormalizeTakeLoudness(pcm, NormalizationTarget(others));
        if (normalized.ok) {
            recording.notes.push_back(NormalizedNote(normalized));
            pcm = std::move(normalized.pcm);
            MeasureTakeLevels(pcm, judged);
            const TakeFlags after = FlagTake(judged, others);
            flags.loudnessOutlier = after.loudnessOutlier;
            flags.deviationLu = after.deviationLu;
        } else {
            recording.warnings.push_back("not normalized: " + normalized.why);
        }
    }
    for (std::string& warning : FlagWarnings(judged, flags))
        recording.warnings.push_back(std::move(warning));
}

}  // namespace

namespace {

RecordingResult CodeTake(CVoxbenchDoc& doc, const RecordingRequest& request,
                         const SoundFileOptions& options, SpeechPcm take) {
    RecordingResult result;
    if (!take.ok) {
        result.error = std::string(kBadWave) + "\n" + take.why;
        result.tooLong = take.problem == SoundFileProblem::kTooLong && take.sourceSeconds > 0 &&
                         take.sourceSeconds < kMaxSoundSeconds;
        result.takeSeconds = take.sourceSeconds;
        result.storableSeconds = options.maxPcmBytes / kSpeechBytesPerSecond;
        return result;
    }
    CodedRecording& recording = result.recording;
    if (take.converted) recording.notes.push_back(ConversionMessage(take));
    if (take.trimmed) {
        recording.notes.push_back("cut to the first " +
                                  FormatSeconds(take.pcm.size() / kSpeechBytesPerSecond, false) +
                                  " of " + FormatSeconds(take.sourceSeconds, true));
    }
    LevelTake(doc, request, take.pcm, recording);
    recording.decodedLen = static_cast<uint32_t>(take.pcm.size());
    // The codec library does not fail on any input; the fault point lets tests reach the
    // message all the same.
    if (faults::ShouldFail("import.encode") ||
        !doc.EncodeSound(take.pcm.data(), recording.decodedLen, recording.coded,
                         recording.codedLen)) {
        result.error = "Compression stage failed";
        result.recording = {};
    }
    return result;
}

SoundFileOptions ReadOptions(const RecordingRequest& request) {
    SoundFileOptions options;
    options.keepFirstPart = request.keepFirstPart;
    return options;
}

}  // namespace

RecordingResult ReadRecording(CVoxbenchDoc& doc, const std::string& path,
                              const RecordingRequest& request) {
    const SoundFileOptions options = ReadOptions(request);
    RecordingResult result = CodeTake(doc, request, options, ReadSpeechPcmFile(path, options));
    if (result.Ok()) {
        const size_t slash = path.find_last_of('/');
        result.recording.source.name = slash == std::string::npos ? path : path.substr(slash + 1);
        std::vector<uint8_t> bytes;
        std::string why;
        // A file that changed or went away since it was read keeps its name without a hash.
        if (ReadWholeFile(path, bytes, why)) {
            result.recording.source.hash = ContentHash(ByteSpan(bytes.data(), bytes.size()));
        }
    }
    return result;
}

RecordingResult ReadRecording(CVoxbenchDoc& doc, ByteSpan file, const RecordingRequest& request) {
    const SoundFileOptions options = ReadOptions(request);
    RecordingResult result = CodeTake(doc, request, options, ReadSpeechPcm(file, options));
    if (result.Ok()) result.recording.source.hash = ContentHash(file);
    return result;
}

std::string TrimQuestion(const RecordingResult& tooLong) {
    const std::string storable = FormatSeconds(tooLong.storableSeconds, false);
    return "The recording is " + FormatSeconds(tooLong.takeSeconds, true) +
           " long; only the first " + storable + " can be stored. Store the first " + storable +
           "?";
}

bool DecodeRecording(CVoxbenchDoc& doc, const CodedRecording& recording,
                     std::unique_ptr<uint8_t[]>& pcm, uint32_t& pcmLen) {
    const VoxEntry entry{recording.decodedLen, recording.codedLen, recording.coded.get()};
    return doc.DecodeEntry(entry, pcm, pcmLen);
}

bool PlayRecording(CVoxbenchDoc& doc, const CodedRecording& recording) {
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    return DecodeRecording(doc, recording, pcm, pcmLen) && doc.PlaySound(std::move(pcm), pcmLen);
}

}  // namespace vox

#include "tools/takeinput.h"

#include <CLI/CLI.hpp>

#include "audio/soundfilereader.h"
#include "tools/toolcontext.h"

namespace vox::tool {

void AddTakeOptions(CLI::App& command, TakeOptions& options) {
    command
        .add_option("IN", options.path,
                    "the take: a sound file libsndfile reads (WAV, FLAC, Ogg, AIFF, ...), "
                    "converted to 8000 Hz mono 16-bit")
        ->required();
    command.add_flag("--trim", options.trim,
                     "store the first 5.06 s of a longer take instead of refusing it");
    command.add_flag("--normalize", options.normalize,
                     "bring the take to the median loudness of the fragment's other voices "
                     "(-23 LUFS without any), without clipping");
}

bool ReadTake(CVoxbenchDoc& doc, const TakeOptions& options, RecordingRequest request,
              CodedRecording& take) {
    request.keepFirstPart = options.trim;
    request.normalize = options.normalize;
    RecordingResult result = ReadRecording(doc, options.path, request);
    if (result.tooLong) {
        result.error += "; --trim stores the first " + FormatSeconds(result.storableSeconds, false);
    }
    if (!result.Ok()) {
        Fail(Status::Failure(result.error));
        return false;
    }
    take = std::move(result.recording);
    return true;
}

void ReportTake(const TakeOptions& options, const CodedRecording& take) {
    for (const std::string& note : take.notes) PrintError(options.path + ": " + note);
    for (const std::string& warning : take.warnings)
        PrintError(options.path + ": warning: " + warning);
}

}  // namespace vox::tool

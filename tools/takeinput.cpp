#include "tools/takeinput.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "audio/soundfilereader.h"
#include "tools/command.h"
#include "tools/toolcontext.h"

namespace vox::tool {

void AddTakeOptions(Command& command, TakeOptions& options) {
    command
        .AddOption("IN", options.path,
                   "the take: a sound file libsndfile reads (WAV, FLAC, Ogg, AIFF, ...), "
                   "converted to 8000 Hz mono 16-bit; - for standard input")
        .Required();
    command.AddFlag("--trim", options.trim,
                    "store the first 5.06 s of a longer take instead of refusing it");
    command.AddFlag("--normalize", options.normalize,
                    "bring the take to the median loudness of the fragment's other voices "
                    "(-23 LUFS without any), without clipping");
}

std::string TakeName(const std::string& path) { return path == "-" ? "standard input" : path; }

bool ReadStandardInput(std::vector<uint8_t>& bytes) {
    std::string why;
    if (isatty(STDIN_FILENO) == 1) why = "a terminal, not a sound file";
    bytes.clear();
    uint8_t block[64 * 1024];
    while (why.empty()) {
        const ssize_t got = read(STDIN_FILENO, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) why = std::strerror(errno);
        if (got <= 0) break;
        if (bytes.size() + static_cast<size_t>(got) > kMaxSoundFileBytes)
            why = "more than " + std::to_string(kMaxSoundFileBytes >> 20) + " MiB";
        else
            bytes.insert(bytes.end(), block, block + got);
    }
    if (why.empty()) return true;
    bytes.clear();
    PrintError("standard input: " + why);
    ExitStatus() = kExitFailure;
    return false;
}

bool LoadTake(TakeOptions& options) {
    if (options.path != "-") return CheckInputFile(options.path);
    return ReadStandardInput(options.piped);
}

bool ReadTake(CVoxbenchDoc& doc, const TakeOptions& options, RecordingRequest request,
              CodedRecording& take) {
    request.keepFirstPart = options.trim;
    request.normalize = options.normalize;
    RecordingResult result =
        options.path == "-"
            ? ReadRecording(doc, ByteSpan(options.piped.data(), options.piped.size()), request)
            : ReadRecording(doc, options.path, request);
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
    const std::string name = TakeName(options.path);
    for (const std::string& note : take.notes) PrintNote(name + ": " + note);
    for (const std::string& warning : take.warnings) PrintError(name + ": warning: " + warning);
}

}  // namespace vox::tool

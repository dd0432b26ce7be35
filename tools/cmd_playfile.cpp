// voxtool play-file IN|- [--coded]: hear a sound file as it comes in, converted to the speech
// format, or with --coded as a talk entry would give it back. No database is opened.
#include <cstring>
#include <memory>

#include "audio/soundfilereader.h"
#include "tools/command.h"
#include "tools/soundwait.h"
#include "tools/takeinput.h"
#include "tools/toolcontext.h"
#include "workbench/recording.h"

namespace vox::tool {
namespace {

constexpr double kSpeechBytesPerSecond = 16000;

struct PlayFileOptions {
    std::string path;
    bool coded = false;
};

// The file as speech samples; nothing after saying why. Without --coded the whole file is
// heard, up to the reader's longest; with it, what an entry can hold.
std::optional<SpeechPcm> ReadForPlaying(const PlayFileOptions& options) {
    SoundFileOptions read;
    read.keepFirstPart = options.coded;
    if (!options.coded)
        read.maxPcmBytes = static_cast<uint32_t>(kMaxSoundSeconds * kSpeechBytesPerSecond);
    std::vector<uint8_t> piped;
    if (options.path == "-" && !ReadStandardInput(piped)) return std::nullopt;
    const std::string name = TakeName(options.path);
    SpeechPcm take = options.path == "-" ? ReadSpeechPcm(ByteSpan(piped.data(), piped.size()), read)
                                         : ReadSpeechPcmFile(options.path, read);
    if (!take.ok) {
        Fail(Status::Failure(name + ": " + take.why));
        return std::nullopt;
    }
    if (take.converted) PrintNote(name + ": " + ConversionMessage(take));
    if (take.trimmed) {
        PrintNote(name + ": " + FormatSeconds(take.sourceSeconds, true) + " long; only the first " +
                  FormatSeconds(take.pcm.size() / kSpeechBytesPerSecond, false) +
                  " can be stored, and are played");
    }
    return take;
}

void RunPlayFile(const PlayFileOptions& options) {
    if (options.path != "-" && !CheckInputFile(options.path)) return;
    const std::optional<SpeechPcm> take = ReadForPlaying(options);
    if (!take) return;
    OpenDatabase player(OpenDatabase::Mode::Play);
    CVoxbenchDoc& doc = player.Doc();
    const auto size = static_cast<uint32_t>(take->pcm.size());
    bool queued = false;
    if (options.coded) {
        CodedRecording coded;
        coded.decodedLen = size;
        queued = doc.EncodeSound(take->pcm.data(), size, coded.coded, coded.codedLen) &&
                 PlayRecording(doc, coded);
    } else {
        auto pcm = std::make_unique_for_overwrite<uint8_t[]>(size);
        if (size > 0) std::memcpy(pcm.get(), take->pcm.data(), size);
        queued = doc.PlaySound(std::move(pcm), size);
    }
    if (!queued) {
        Fail(Status::Failure(TakeName(options.path) + ": the speech codec could not code it"));
        return;
    }
    ExitStatus() = WaitForSounds(doc, 1, size / kSpeechBytesPerSecond);
}

}  // namespace

void RegisterPlayFile(Command& tool) {
    auto options = std::make_shared<PlayFileOptions>();
    Command command = tool.AddCommand(
        "play-file", "Play a sound file as it would come into a database (8000 Hz mono 16-bit)");
    command
        .AddOption("IN", options->path,
                   "the sound file (WAV, FLAC, Ogg, AIFF, ...); - for standard input")
        .Required();
    command.AddFlag("--coded", options->coded,
                    "hear it after coding, as a talk entry gives it back (at most 5.06 s)");
    command.OnRun([options] { RunPlayFile(*options); });
}

}  // namespace vox::tool

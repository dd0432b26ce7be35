// voxtool wav TALK F V OUT.wav: one fragment's voice as a wave file (the form's Save).
#include <memory>

#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/toolcontext.h"
#include "workbench/fragmentexport.h"

namespace vox::tool {
namespace {

struct WavOptions {
    std::string talkPath;
    int fragment = 0;
    int voice = 0;
    std::string outPath;
};

void RunWav(const WavOptions& options) {
    const int fragment = options.fragment;
    const int voice = options.voice;
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    if (options.outPath != "-") {
        const Status written = WriteFragmentWave(doc, fragment, voice, options.outPath);
        if (!written) Fail(written);
        return;
    }
    std::vector<uint8_t> bytes;
    const Status made = MakeFragmentWave(doc, fragment, voice, bytes);
    if (!made) return Fail(made);
    if (!WriteToStdout(bytes)) ExitStatus() = kExitFailure;
}

}  // namespace

void RegisterWav(Command& tool) {
    auto options = std::make_shared<WavOptions>();
    Command command = tool.AddCommand("wav", "Write one voice of a fragment as a wave file");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "F", options->fragment, "the fragment number", 0, kMaxFragmentNumber)
        .Required();
    AddVoice(command, options->voice);
    command.AddOption("OUT", options->outPath, "the wave file to write; - for standard output")
        .Required();
    command.OnRun([options] { RunWav(*options); });
}

}  // namespace vox::tool

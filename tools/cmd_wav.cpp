// voxtool wav TALK F V OUT.wav: one fragment's voice as a wave file (the form's Save).
#include <CLI/CLI.hpp>

#include <memory>

#include "audio/viewactions.h"
#include "tools/toolcontext.h"
#include "tools/toolprompter.h"

namespace vox::tool {
namespace {

struct WavOptions {
    std::string talkPath;
    std::string fragment;
    std::string voice;
    std::string outPath;
};

void RunWav(const WavOptions& options) {
    const int fragment = ParseInt(options.fragment, "F");
    const int voice = ParseInt(options.voice, "V");
    ToolPrompter prompter;
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath, &prompter)) return;
    CVoxbenchDoc& doc = database.Doc();
    std::string why;
    if (!GuardLoaded(doc)) {
        ExitStatus() = kExitFailure;
        return;
    }
    bool written = false;
    if (options.outPath == "-") {
        std::vector<uint8_t> bytes;
        written = MakeFragmentWave(doc, fragment, voice, bytes, &why) && WriteToStdout(bytes, &why);
    } else {
        written = WriteFragmentWave(doc, fragment, voice, options.outPath, &why);
    }
    if (!written) {
        if (!why.empty()) PrintError(why);
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterWav(CLI::App& app) {
    auto options = std::make_shared<WavOptions>();
    CLI::App* command =
        app.add_subcommand("wav", "Write one voice of a fragment as a wave file");
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->add_option("F", options->fragment, "the fragment number")->required();
    command->add_option("V", options->voice, "the voice (0 to 13)")->required();
    command->add_option("OUT", options->outPath, "the wave file to write; - for standard output")->required();
    command->callback([options] { RunWav(*options); });
}

}  // namespace vox::tool

// voxtool replace TALK F V IN.wav: a new recording behind fragment F's voice V (the form's
// Replace, without its warning). The talk file grows by one entry; nothing else changes.
#include <CLI/CLI.hpp>
#include <memory>

#include "tools/toolcontext.h"
#include "workbench/recording.h"

namespace vox::tool {
namespace {

struct ReplaceOptions {
    std::string talkPath;
    std::string fragment;
    std::string voice;
    std::string wavePath;
};

void RunReplace(const ReplaceOptions& options) {
    const int fragment = ParseInt(options.fragment, "F");
    const int voice = ParseInt(options.voice, "V");
    if (!CheckInputFile(options.wavePath)) return;
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    CodedRecording recording;
    Status status = ReadRecording(doc, options.wavePath, recording);
    if (status) {
        status = doc.ReplaceFragment(fragment, voice, recording.coded.get(), recording.codedLen,
                                     recording.decodedLen);
    }
    if (!status) Fail(status);
}

}  // namespace

void RegisterReplace(CLI::App& app) {
    auto options = std::make_shared<ReplaceOptions>();
    CLI::App* command = app.add_subcommand(
        "replace", "Put a new recording from a wave file behind one voice of a fragment");
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->add_option("F", options->fragment, "the fragment number")->required();
    command->add_option("V", options->voice, "the voice (0 to 13)")->required();
    command->add_option("IN", options->wavePath, "the wave file (8000 Hz, 16-bit mono)")
        ->required();
    command->callback([options] { RunReplace(*options); });
}

}  // namespace vox::tool

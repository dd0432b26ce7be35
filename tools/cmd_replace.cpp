// voxtool replace TALK F V IN.wav: a new recording behind fragment F's voice V (the form's
// Replace, without its warning). The talk file grows by one entry; nothing else changes.
#include <CLI/CLI.hpp>

#include <memory>

#include "audio/importactions.h"
#include "tools/toolcontext.h"
#include "tools/toolprompter.h"

namespace vox::tool {
namespace {

struct ReplaceOptions {
    std::string talkPath;
    std::string fragment;
    std::string voice;
    std::string wavePath;
};

// The replace itself says nothing when the fragment, voice or slot is missing; the tool does.
std::string WhyNotReplaced(const CVoxbenchDoc& doc, int fragment, int voice) {
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return "there is no fragment " + std::to_string(fragment);
    const int voxIndex = doc.FindVoxIndex(record, voice);
    if (voxIndex < 0) {
        return "fragment " + std::to_string(fragment) + " has no voice " + std::to_string(voice);
    }
    return "talk entry " + std::to_string(voxIndex) + " of fragment " + std::to_string(fragment) +
           " voice " + std::to_string(voice) + " could not be replaced";
}

void RunReplace(const ReplaceOptions& options) {
    const int fragment = ParseInt(options.fragment, "F");
    const int voice = ParseInt(options.voice, "V");
    ToolPrompter prompter;
    if (!CheckInputFile(options.wavePath)) return;
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath, &prompter)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) {
        ExitStatus() = kExitFailure;
        return;
    }
    prompter.AnswerFile(options.wavePath);
    if (ReplaceWithWave(doc, fragment, voice)) return;
    if (prompter.MessageCount() == 0) PrintError(WhyNotReplaced(doc, fragment, voice));
    ExitStatus() = kExitFailure;
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

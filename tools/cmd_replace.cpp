// voxtool replace TALK F V IN [--trim] [--normalize]: a new recording behind fragment F's voice
// V (the form's Replace, without its warning). The talk file grows by one entry; nothing else
// changes.
#include <CLI/CLI.hpp>
#include <memory>

#include "tools/takeinput.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct ReplaceOptions {
    std::string talkPath;
    std::string fragment;
    std::string voice;
    TakeOptions take;
};

void RunReplace(const ReplaceOptions& options) {
    const int fragment = ParseInt(options.fragment, "F");
    const int voice = ParseInt(options.voice, "V");
    if (!CheckInputFile(options.take.path)) return;
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    RecordingRequest request;
    request.fragment = fragment;
    request.replacedVoice = voice;
    CodedRecording take;
    if (!ReadTake(doc, options.take, request, take)) return;
    const Status status =
        doc.ReplaceFragment(fragment, voice, take.coded.get(), take.codedLen, take.decodedLen);
    if (!status) return Fail(status);
    ReportTake(options.take, take);
}

}  // namespace

void RegisterReplace(CLI::App& app) {
    auto options = std::make_shared<ReplaceOptions>();
    CLI::App* command = app.add_subcommand(
        "replace", "Put a new recording from a sound file behind one voice of a fragment");
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->add_option("F", options->fragment, "the fragment number")->required();
    command->add_option("V", options->voice, "the voice (0 to 13)")->required();
    AddTakeOptions(*command, options->take);
    command->callback([options] { RunReplace(*options); });
}

}  // namespace vox::tool

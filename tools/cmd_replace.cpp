// voxtool replace TALK F V IN|- [--trim] [--normalize]: a new recording behind fragment F's voice
// V (the form's Replace, without its warning). The talk file grows by one entry; nothing else
// changes.
#include <memory>

#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/takeinput.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct ReplaceOptions {
    std::string talkPath;
    int fragment = 0;
    int voice = 0;
    TakeOptions take;
};

void RunReplace(ReplaceOptions& options) {
    if (!LoadTake(options.take)) return;
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    RecordingRequest request;
    request.fragment = options.fragment;
    request.replacedVoice = options.voice;
    CodedRecording take;
    if (!ReadTake(doc, options.take, request, take)) return;
    if (take.source.name.empty()) take.source.name = TakeName(options.take.path);
    const Status status = doc.ReplaceFragment(options.fragment, options.voice, take.coded.get(),
                                              take.codedLen, take.decodedLen, take.source);
    if (!status) return Fail(status);
    ReportTake(options.take, take);
}

}  // namespace

void RegisterReplace(Command& tool) {
    auto options = std::make_shared<ReplaceOptions>();
    Command command = tool.AddCommand(
        "replace", "Put a new recording from a sound file behind one voice of a fragment");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "F", options->fragment, "the fragment number", 0, kMaxFragmentNumber)
        .Required();
    AddVoice(command, options->voice);
    AddTakeOptions(command, options->take);
    command.OnRun([options] { RunReplace(*options); });
}

}  // namespace vox::tool

// voxtool revert TALK F V [--to N]: puts back an earlier take of fragment F's voice V, N takes
// back from the current one (1 unless given), and adds a line to the history.
#include <iostream>
#include <memory>

#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/toolcontext.h"
#include "workbench/takehistory.h"

namespace vox::tool {
namespace {

struct RevertOptions {
    std::string talkPath;
    int fragment = 0;
    int voice = 0;
    int steps = 1;
};

void RunRevert(const RevertOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    const RevertResult result = RevertTake(doc, options.fragment, options.voice, options.steps);
    if (result.moved) {
        std::cout << "fragment " << options.fragment << " voice " << options.voice << ": take "
                  << result.takeNumber << " ("
                  << (result.take.time.empty() ? "from before the history" : result.take.time)
                  << (result.take.source.name.empty() ? "" : ", " + result.take.source.name)
                  << ") is current again\n";
    }
    if (!result.error.empty()) Fail(Status::Failure(result.error));
}

}  // namespace

void RegisterRevert(Command& tool) {
    auto options = std::make_shared<RevertOptions>();
    Command command =
        tool.AddCommand("revert", "Put back an earlier recording of one voice of a fragment");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "F", options->fragment, "the fragment number", 0, kMaxFragmentNumber)
        .Required();
    AddVoice(command, options->voice);
    AddNumber(command, "--to", options->steps, "how many takes back from the current one", 1,
              65535);
    command.OnRun([options] { RunRevert(*options); });
}

}  // namespace vox::tool

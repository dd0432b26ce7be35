// voxtool find frag-in-eval|eval-in-comm|frag-in-comm TALK N [--json]: the cross-reference
// scans. stdout holds the matches and nothing else, so that a script can loop over it.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "lookup/crossrefsearch.h"
#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct FindOptions {
    std::string kind;
    std::string talkPath;
    int number = 0;
    bool json = false;
};

void RunFind(const FindOptions& options) {
    const int n = options.number;
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    const CVoxbenchDoc& doc = database.Doc();
    std::vector<int> matches;
    if (options.kind == "frag-in-eval")
        matches = FindFragInEval(doc.GetEvalTable(), n);
    else if (options.kind == "eval-in-comm")
        matches = FindEvalInComm(doc.GetCommTable(), n);
    else
        matches = FindFragInComm(doc.GetCommTable(), doc.GetEvalTable(), n);

    if (options.json) {
        const nlohmann::ordered_json out = {
            {"kind", options.kind}, {"number", n}, {"matches", matches}};
        std::cout << out.dump(2) << '\n';
    } else {
        for (const int match : matches) std::cout << match << '\n';
    }
    if (matches.empty()) {
        PrintError("No matches");
        ExitStatus() = kExitFailure;  // as grep says it: a search that found nothing
    }
}

}  // namespace

void RegisterFind(Command& tool) {
    auto options = std::make_shared<FindOptions>();
    Command command = tool.AddCommand(
        "find", "List the evals or comms that use a fragment or an eval, one number a line");
    command.AddOption("KIND", options->kind, "frag-in-eval, eval-in-comm or frag-in-comm")
        .Required()
        .OneOf({"frag-in-eval", "eval-in-comm", "frag-in-comm"});
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "N", options->number, "the fragment or eval number", kMinEntry, kMaxEntry)
        .Required();
    command.AddFlag("--json", options->json,
                    "one JSON object: the kind, the number and the list of matches");
    // A negative N must be taken as the number, not as an option.
    command.AllowExtras(false);
    command.OnRun([options] { RunFind(*options); });
}

}  // namespace vox::tool

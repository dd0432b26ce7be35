// voxtool find frag-in-eval|eval-in-comm|frag-in-comm TALK N: the cross-reference scans.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "lookup/crossrefsearch.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct FindOptions {
    std::string kind;
    std::string talkPath;
    std::string number;
};

void RunFind(const FindOptions& options) {
    const int n = ParseInt(options.number, "N");
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

    if (matches.empty()) {
        std::cout << "No matches\n";
        ExitStatus() = kExitFailure;  // as grep says it: a search that found nothing
        return;
    }
    for (const int match : matches) std::cout << match << '\n';
}

}  // namespace

void RegisterFind(CLI::App& app) {
    auto options = std::make_shared<FindOptions>();
    CLI::App* command = app.add_subcommand(
        "find", "List the evals or comms that use a fragment or an eval, one number a line");
    command->add_option("KIND", options->kind, "frag-in-eval, eval-in-comm or frag-in-comm")
        ->required()
        ->check(CLI::IsMember({"frag-in-eval", "eval-in-comm", "frag-in-comm"}));
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->add_option("N", options->number, "the fragment or eval number")->required();
    // A negative N must be taken as the number, not as an option.
    command->allow_extras(false);
    command->callback([options] { RunFind(*options); });
}

}  // namespace vox::tool

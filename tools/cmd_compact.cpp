// voxtool compact TALK [--drop-history]: rewrites the talk file without the bytes no slot points
// to and the history does not name (what every replace leaves behind). Refuses at once while
// another program has the database open for writing.
#include <iostream>
#include <memory>

#include "talkdata/compact.h"
#include "tools/command.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct CompactOptions {
    std::string talkPath;
    bool dropHistory = false;
};

void RunCompact(const CompactOptions& options) {
    CompactResult result;
    TerminalProgress progress("compact");
    const bool done = CompactTalkFile(options.talkPath, result, progress.Fn(), options.dropHistory);
    progress.Finish();
    if (result.cancelled) return;  // Finish has said so; the talk file is as it was
    if (!done) {
        PrintError(result.error);
        ExitStatus() = kExitFailure;
        return;
    }
    std::cout << result.Reclaimed() << " bytes reclaimed (" << result.oldSize << " -> "
              << result.newSize << " bytes)\n";
    if (result.keptTakes > 0) {
        std::cout << "kept " << result.keptTakes << " earlier take"
                  << (result.keptTakes == 1 ? "" : "s") << " (" << result.keptTakeBytes
                  << " bytes) named by the history\n";
    }
    if (result.droppedTakes > 0) {
        std::cout << "dropped " << result.droppedTakes << " earlier take"
                  << (result.droppedTakes == 1 ? "" : "s")
                  << " of the history; reverting to them is refused\n";
    }
}

}  // namespace

void RegisterCompact(Command& tool) {
    auto options = std::make_shared<CompactOptions>();
    Command command = tool.AddCommand(
        "compact", "Rewrite the talk file without the bytes that no entry uses any more");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddFlag("--drop-history", options->dropHistory,
                    "drop the earlier takes the history names too (its lines stay, marked "
                    "dropped)");
    command.OnRun([options] { RunCompact(*options); });
}

}  // namespace vox::tool

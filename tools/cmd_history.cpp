// voxtool history TALK [F [V]] [--json]: the lines of the history beside the talk file, of the
// whole database, of one fragment, or of one fragment's voice. Reads only the history and
// never opens the database for writing.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "tools/command.h"
#include "tools/jsontext.h"
#include "tools/numberoptions.h"
#include "tools/toolcontext.h"
#include "workbench/takehistory.h"

namespace vox::tool {
namespace {

struct HistoryOptions {
    std::string talkPath;
    int fragment = -1;
    int voice = -1;
    bool json = false;
};

std::string OffsetText(uint32_t offset, bool dropped) {
    return std::to_string(offset) + (dropped ? " (dropped)" : "");
}

void PrintText(const HistoryResult& result) {
    for (const HistoryLine& line : result.lines) {
        std::cout << line.time << "  " << line.kind << "  fragment " << line.frag << " voice "
                  << line.voice << "  slot " << line.voxIndex << "  "
                  << OffsetText(line.oldOffset, line.oldDropped) << " -> "
                  << OffsetText(line.newOffset, line.newDropped) << "  "
                  << (line.source.name.empty() ? "-" : line.source.name) << "  "
                  << (line.source.hash.empty() ? "-" : line.source.hash) << '\n';
    }
}

void PrintJson(const HistoryResult& result) {
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const HistoryLine& line : result.lines) {
        lines.push_back({{"line", line.lineNumber},
                         {"time", line.time},
                         {"kind", line.kind},
                         {"fragment", line.frag},
                         {"voice", line.voice},
                         {"slot", line.voxIndex},
                         {"old", line.oldOffset},
                         {"old_dropped", line.oldDropped},
                         {"new", line.newOffset},
                         {"new_dropped", line.newDropped},
                         {"hash", line.source.hash},
                         {"source", Utf8Text(line.source.name)}});
    }
    nlohmann::ordered_json skipped = nlohmann::ordered_json::array();
    for (const HistoryBadLine& bad : result.bad) {
        skipped.push_back({{"line", bad.lineNumber}, {"why", bad.why}});
    }
    const nlohmann::ordered_json out = {{"lines", lines}, {"skipped", skipped}};
    std::cout << out.dump(2) << '\n';
}

void RunHistory(const HistoryOptions& options) {
    if (!CheckInputFile(options.talkPath)) return;
    const HistoryResult result = ReadTalkHistory(options.talkPath, options.fragment, options.voice);
    if (!result.error.empty()) {
        PrintError(result.error);
        ExitStatus() = kExitFailure;
        return;
    }
    // A cut line is what a killed writer leaves; it is worth a warning, not a failure.
    for (const HistoryBadLine& bad : result.bad) {
        PrintError(HistoryPath(options.talkPath) + ": line " + std::to_string(bad.lineNumber) +
                   " skipped: " + bad.why);
    }
    if (options.json)
        PrintJson(result);
    else
        PrintText(result);
}

}  // namespace

void RegisterHistory(Command& tool) {
    auto options = std::make_shared<HistoryOptions>();
    Command command = tool.AddCommand(
        "history", "List every replace, import and revert of recordings, oldest first");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "F", options->fragment, "only this fragment", 0, kMaxFragmentNumber);
    AddVoice(command, options->voice).Required(false);
    command.AddFlag("--json", options->json,
                    "one JSON object: the lines, and the lines skipped as cut or malformed");
    command.OnRun([options] { RunHistory(*options); });
}

}  // namespace vox::tool

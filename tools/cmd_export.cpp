// voxtool export TALK [--from A] [--to B] --list LISTFILE|-: every voice of a fragment range as
// wave files beside a list file (the form's "Save a Fragment range"). With "-" the list goes to
// standard output and the wave files into the current folder.
#include <iostream>
#include <memory>
#include <optional>

#include "talkdata/safefile.h"
#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"
#include "workbench/fragmentexport.h"

namespace vox::tool {
namespace {

// The list's text, held until every file it names is on disk.
class TextSink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string text;
};

struct ExportOptions {
    std::string talkPath;
    int from = 0;
    std::optional<int> to;  // none: the fragment count
    std::string listPath;
};

void RunExport(const ExportOptions& options) {
    const int first = options.from;
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    if (!GuardLoaded(doc)) return;
    const int last = options.to.value_or(doc.GetFragCount());
    TerminalProgress progress("export");
    const bool toStdout = options.listPath == "-";
    TextSink list;
    const ExportResult result =
        toStdout ? ExportFragmentRangeTo(doc, first, last, "", list, progress.Fn())
                 : ExportFragmentRange(doc, first, last, options.listPath, progress.Fn());
    progress.Finish();
    if (result.listWritten) std::cout << list.text;
    for (const FragVoicePair& pair : result.undecodablePairs) {
        PrintError("fragment " + std::to_string(pair.fragment) + " voice " +
                   std::to_string(pair.voice) + " does not decode; skipped");
    }
    for (const FragVoicePair& pair : result.unreadablePairs) {
        PrintError("fragment " + std::to_string(pair.fragment) + " voice " +
                   std::to_string(pair.voice) +
                   ": its talk entry is empty or lies outside the talk file; skipped");
    }
    if (!result.listWritten) {
        PrintError(result.error);
        ExitStatus() = kExitFailure;
        return;
    }
    if (first > last) return;
    const std::string saved = std::to_string(result.saved) + " .wav files saved";
    if (toStdout)
        PrintNote(saved);  // standard output holds the list
    else
        std::cout << saved << '\n';
    if (result.unwritten > 0) {
        PrintError(std::to_string(result.unwritten) +
                   " wave files could not be written, the "
                   "first: " +
                   result.error);
    }
    // Everything that could be written is; a pair left out is still a failure to report.
    if (result.unwritten > 0 || !result.undecodablePairs.empty() ||
        !result.unreadablePairs.empty()) {
        ExitStatus() = kExitFailure;
    } else if (result.saved == 0 && !result.cancelled) {
        PrintError("fragments " + std::to_string(first) + " to " + std::to_string(last) +
                   " hold no recording to export");
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterExport(Command& tool) {
    auto options = std::make_shared<ExportOptions>();
    Command command = tool.AddCommand(
        "export", "Write every voice of a fragment range as wave files, with a list file");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "--from", options->from, "the first fragment (default 0)", 0,
              kMaxFragmentNumber);
    command.AddOption("--to", options->to, "the last fragment (default the fragment count)")
        .InRange(0, kMaxFragmentNumber);
    command
        .AddOption(
            "--list", options->listPath,
            "the list file; the wave files go into its folder. - writes the list to standard "
            "output and the wave files into the current folder")
        .Required();
    command.OnRun([options] { RunExport(*options); });
}

}  // namespace vox::tool

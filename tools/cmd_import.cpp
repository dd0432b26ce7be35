// voxtool import LISTFILE TALK: re-installs an export. Every wave file the list names whose
// samples differ from its talk entry replaces that entry; unchanged ones are skipped.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"
#include "workbench/listimport.h"

namespace vox::tool {
namespace {

struct ImportOptions {
    std::string listPath;
    std::string talkPath;
};

// Refused lines, or lines read with a note ("converted from ..."): each with its place.
void ReportLines(const ImportOptions& options, const std::vector<ImportRefusal>& lines) {
    for (const ImportRefusal& refusal : lines) {
        PrintError(options.listPath + " line " + std::to_string(refusal.line) + " \"" +
                   refusal.text + "\": " + refusal.why);
    }
}

void RunImport(const ImportOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    TerminalProgress progress("import");
    const ImportResult result = ImportExportList(doc, options.listPath, progress.Fn());
    progress.Finish();
    if (!result.listRead) {
        PrintError(result.error);
        ExitStatus() = kExitFailure;
        return;
    }
    if (result.cancelled) return;  // Finish has said so; nothing was written
    ReportLines(options, result.notes);
    ReportLines(options, result.refused);
    // Refusals of lines carry their own reasons; a failure of the write itself is said once.
    if (!result.error.empty()) PrintError(result.error);
    std::cout << result.replaced << " replaced, " << result.unchanged << " unchanged, "
              << result.refused.size() << " refused\n";
    if (!result.refused.empty() || !result.error.empty()) ExitStatus() = kExitFailure;
}

}  // namespace

void RegisterImport(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import", "Re-install an export: replace the talk entries whose wave files were changed");
    command->add_option("LISTFILE", options->listPath, "the list file the export wrote")
        ->required();
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->callback([options] { RunImport(*options); });
}

}  // namespace vox::tool

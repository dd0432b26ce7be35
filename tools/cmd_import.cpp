// voxtool import TALK LISTFILE: re-installs an export. Every wave file the list names whose
// samples differ from its talk entry replaces that entry; unchanged ones are skipped.
#include <cctype>
#include <fstream>
#include <iostream>
#include <memory>

#include "tools/command.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"
#include "workbench/listimport.h"

namespace vox::tool {
namespace {

struct ImportOptions {
    std::string talkPath;
    std::string listPath;
};

// Refused lines, or lines read with a note ("converted from ..."): each with its place.
void ReportLines(const ImportOptions& options, const std::vector<ImportRefusal>& lines,
                 void (*print)(const std::string&)) {
    for (const ImportRefusal& refusal : lines) {
        print(options.listPath + " line " + std::to_string(refusal.line) + " \"" + refusal.text +
              "\": " + refusal.why);
    }
}

bool NamesTalkFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ending = path.substr(path.size() - 4);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending == ".vox";
}

bool StartsAsListFile(const std::string& path) {
    static const std::string kListStart = "; Filenames of saved voxfile wav files";
    std::ifstream in(path, std::ios::binary);
    std::string start(kListStart.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == kListStart;
}

// The list file used to come first. Taken the old way round, an import would try to open the
// list as a database, or worse read the talk file as a list: refuse, showing the new order.
void RefuseOldOrder(const ImportOptions& options) {
    const bool swapped = (NamesTalkFile(options.listPath) && !NamesTalkFile(options.talkPath)) ||
                         StartsAsListFile(options.talkPath);
    if (!swapped) return;
    throw UsageError{"import takes the talk file first: voxtool import " + options.listPath + " " +
                     options.talkPath};
}

void RunImport(const ImportOptions& options) {
    RefuseOldOrder(options);
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
    ReportLines(options, result.notes, PrintNote);
    ReportLines(options, result.refused, PrintError);
    // Refusals of lines carry their own reasons; a failure of the write itself is said once.
    if (!result.error.empty()) PrintError(result.error);
    std::cout << result.replaced << " replaced, " << result.unchanged << " unchanged, "
              << result.refused.size() << " refused\n";
    if (!result.refused.empty() || !result.error.empty()) ExitStatus() = kExitFailure;
}

}  // namespace

void RegisterImport(Command& tool) {
    auto options = std::make_shared<ImportOptions>();
    Command command = tool.AddCommand(
        "import", "Re-install an export: replace the talk entries whose wave files were changed");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddOption("LISTFILE", options->listPath, "the list file the export wrote").Required();
    command.OnRun([options] { RunImport(*options); });
}

}  // namespace vox::tool

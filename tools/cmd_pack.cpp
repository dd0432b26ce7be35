// voxtool pack DIR OUTDIR: a complete database from an unpacked folder.
#include <memory>
#include <vector>

#include "pack/packer.h"
#include "tools/command.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct PackOptions {
    std::string folder;
    std::string outFolder;
};

void RunPack(const PackOptions& options) {
    // Notes wait for the end so that they do not break into the progress line.
    std::vector<std::string> notes;
    pack::Packer packer([&notes](const std::string& note) { notes.push_back(note); });
    TerminalProgress progress("pack");
    const bool packed = packer.Pack(options.folder, options.outFolder, progress.Fn());
    progress.Finish();
    for (const std::string& note : notes) PrintNote(note);
    if (packer.Stopped()) return;  // Finish has said so; nothing was written
    if (!packed) {
        PrintError(packer.GetError());
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterPack(Command& tool) {
    auto options = std::make_shared<PackOptions>();
    Command command =
        tool.AddCommand("pack", "Build a database from a folder written by unpack (or by hand)");
    command.AddOption("DIR", options->folder, "the unpacked folder").Required();
    command.AddOption("OUTDIR", options->outFolder, "a new or empty folder for the database")
        .Required();
    command.OnRun([options] { RunPack(*options); });
}

}  // namespace vox::tool

// voxtool pack DIR OUTDIR: a complete database from an unpacked folder.
#include <CLI/CLI.hpp>
#include <memory>
#include <vector>

#include "pack/packer.h"
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

void RegisterPack(CLI::App& app) {
    auto options = std::make_shared<PackOptions>();
    CLI::App* command =
        app.add_subcommand("pack", "Build a database from a folder written by unpack (or by hand)");
    command->add_option("DIR", options->folder, "the unpacked folder")->required();
    command->add_option("OUTDIR", options->outFolder, "a new or empty folder for the database")
        ->required();
    command->callback([options] { RunPack(*options); });
}

}  // namespace vox::tool

// voxtool pack DIR OUTDIR: a complete database from an unpacked folder.
#include <CLI/CLI.hpp>

#include <memory>

#include "tools/pack/packer.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct PackOptions {
    std::string folder;
    std::string outFolder;
};

void RunPack(const PackOptions& options) {
    pack::Packer packer([](const std::string& note) { PrintError(note); });
    if (!packer.Pack(options.folder, options.outFolder)) {
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

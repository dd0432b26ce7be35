#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <new>

#include "tools/command.h"
#include "tools/commandguess.h"
#include "tools/toolcontext.h"

namespace {

void ConfigureApp(CLI::App& app) {
    app.description(
        "voxtool: read, search and edit a speech database (a talk file *.vox with fragFile.bin, "
        "evalFile.bin and commFile.bin beside it).");
    app.set_version_flag("--version", std::string("voxtool ") + VOXBENCH_VERSION);
    vox::tool::Command tool(app);
    tool.AddFlag("-q,--quiet", vox::tool::Quiet(),
                 "no progress and no notes on stderr; errors and warnings still show");
    // -q is taken after the command's name too.
    app.fallthrough();
    app.require_subcommand(1);
    vox::tool::RegisterDump(tool);
    vox::tool::RegisterFind(tool);
    vox::tool::RegisterSearch(tool);
    vox::tool::RegisterInfo(tool);
    vox::tool::RegisterPack(tool);
    vox::tool::RegisterUnpack(tool);
    vox::tool::RegisterSettings(tool);
    vox::tool::RegisterWav(tool);
    vox::tool::RegisterExport(tool);
    vox::tool::RegisterReplace(tool);
    vox::tool::RegisterAdd(tool);
    vox::tool::RegisterImport(tool);
    vox::tool::RegisterVerify(tool);
    vox::tool::RegisterCompact(tool);
    vox::tool::RegisterHistory(tool);
    vox::tool::RegisterRevert(tool);
    vox::tool::RegisterPlay(tool);
    vox::tool::RegisterPlayFile(tool);
    vox::tool::RegisterLevels(tool);
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(command->get_name());
    return names;
}

int Run(int argc, char** argv) {
    CLI::App app;
    ConfigureApp(app);
    if (vox::tool::RefuseUnknownCommand(CommandNames(app), argc, argv))
        return vox::tool::kExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        vox::tool::PrintError(e.what());
        std::cerr << "Try 'voxtool --help' for more information.\n";
        return vox::tool::kExitUsage;
    } catch (const vox::tool::UsageError& e) {
        vox::tool::PrintError(e.message);
        return vox::tool::kExitUsage;
    } catch (const std::bad_alloc&) {
        // Every write is safe: whatever was under way is left as it was.
        vox::tool::PrintError("out of memory");
        return vox::tool::kExitFailure;
    }
    return vox::tool::ExitStatus();
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away makes writes fail instead of killing the process, so that the
    // command ends its work where it leaves no damaged file and FinishOutput has the last word.
    std::signal(SIGPIPE, SIG_IGN);
    vox::tool::TakeOverStdout();
    return vox::tool::FinishOutput(Run(argc, argv));
}

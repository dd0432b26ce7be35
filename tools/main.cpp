#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <new>

#include "tools/commandguess.h"
#include "tools/toolcontext.h"

namespace {

void ConfigureApp(CLI::App& app) {
    app.description(
        "voxtool: read, search and edit a speech database (a talk file *.vox with fragFile.bin, "
        "evalFile.bin and commFile.bin beside it).");
    app.set_version_flag("--version", std::string("voxtool ") + VOXBENCH_VERSION);
    app.add_flag("-q,--quiet", vox::tool::Quiet(),
                 "no progress and no notes on stderr; errors and warnings still show");
    // -q is taken after the command's name too.
    app.fallthrough();
    app.require_subcommand(1);
    vox::tool::RegisterDump(app);
    vox::tool::RegisterFind(app);
    vox::tool::RegisterSearch(app);
    vox::tool::RegisterInfo(app);
    vox::tool::RegisterPack(app);
    vox::tool::RegisterUnpack(app);
    vox::tool::RegisterSettings(app);
    vox::tool::RegisterWav(app);
    vox::tool::RegisterExport(app);
    vox::tool::RegisterReplace(app);
    vox::tool::RegisterAdd(app);
    vox::tool::RegisterImport(app);
    vox::tool::RegisterVerify(app);
    vox::tool::RegisterCompact(app);
    vox::tool::RegisterHistory(app);
    vox::tool::RegisterRevert(app);
    vox::tool::RegisterPlay(app);
    vox::tool::RegisterPlayFile(app);
    vox::tool::RegisterLevels(app);
}

int Run(int argc, char** argv) {
    CLI::App app;
    ConfigureApp(app);
    if (vox::tool::RefuseUnknownCommand(app, argc, argv)) return vox::tool::kExitUsage;
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

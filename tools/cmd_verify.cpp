// voxtool verify TALK: checks everything the database's formats promise and lists each problem
// with its place. Reads only; exit 0 when clean, 1 with findings.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "audio/entrydecodecheck.h"
#include "talkdata/verify.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct VerifyOptions {
    std::string talkPath;
};

void RunVerify(const VerifyOptions& options) {
    SpeechCodec codec;
    if (!codec.Init()) {
        PrintError("the speech codec could not be started");
        ExitStatus() = kExitFailure;
        return;
    }
    TerminalProgress progress("verify");
    // Each finding is printed as it is made: a badly damaged file can have millions.
    const VerifyReport report =
        VerifyDatabaseFiles(options.talkPath, MakeEntryDecodeCheck(codec), progress.Fn(),
                            [&progress](const VerifyFinding& finding) {
                                progress.Clear();
                                std::cout << finding.Text() << '\n';
                            });
    progress.Finish();
    if (report.talkDamaged) {
        ReportDamagedFile(options.talkPath);
        return;
    }
    if (report.cancelled) return;  // Finish has said so and set the status
    if (report.problemCount == 0) {
        std::cout << "no problems found\n";
        return;
    }
    std::cout << report.problemCount
              << (report.problemCount == 1 ? " problem found\n" : " problems found\n");
    ExitStatus() = kExitFailure;
}

}  // namespace

void RegisterVerify(CLI::App& app) {
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* command = app.add_subcommand(
        "verify", "Check the talk file and its tables and list every problem with its place");
    command->add_option("TALK", options->talkPath, "the talk file (*.vox)")->required();
    command->callback([options] { RunVerify(*options); });
}

}  // namespace vox::tool

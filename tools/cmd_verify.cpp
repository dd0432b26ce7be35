// voxtool verify TALK [--json]: checks everything the database's formats promise and lists each
// problem with its place. Reads only; exit 0 when clean, 1 with findings.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "audio/entrydecodecheck.h"
#include "talkdata/verify.h"
#include "tools/command.h"
#include "tools/jsontext.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct VerifyOptions {
    std::string talkPath;
    bool json = false;
};

nlohmann::ordered_json FindingJson(const VerifyFinding& finding) {
    return {{"file", Utf8Text(finding.file)},
            {"place", Utf8Text(finding.place)},
            {"problem", Utf8Text(finding.problem)}};
}

void RunVerify(const VerifyOptions& options) {
    SpeechCodec codec;
    if (!codec.Init()) {
        PrintError("the speech codec could not be started");
        ExitStatus() = kExitFailure;
        return;
    }
    TerminalProgress progress("verify");
    // As text each finding is printed as it is made, so that a long run shows them early.
    nlohmann::ordered_json findings = nlohmann::ordered_json::array();
    const VerifyReport report =
        VerifyDatabaseFiles(options.talkPath, MakeEntryDecodeCheck(codec), progress.Fn(),
                            [&](const VerifyFinding& finding) {
                                if (options.json) {
                                    findings.push_back(FindingJson(finding));
                                    return;
                                }
                                progress.Clear();
                                std::cout << finding.Text() << '\n';
                            });
    progress.Finish();
    if (report.talkDamaged) {
        ReportDamagedFile(options.talkPath);
        return;
    }
    if (report.cancelled) return;  // Finish has said so and set the status
    if (report.problemCount > 0) ExitStatus() = kExitFailure;
    if (options.json) {
        const nlohmann::ordered_json out = {{"problems", report.problemCount},
                                            {"findings", std::move(findings)}};
        std::cout << out.dump(2) << '\n';
        return;
    }
    if (report.problemCount == 0) {
        std::cout << "no problems found\n";
        return;
    }
    std::cout << report.problemCount
              << (report.problemCount == 1 ? " problem found\n" : " problems found\n");
}

}  // namespace

void RegisterVerify(Command& tool) {
    auto options = std::make_shared<VerifyOptions>();
    Command command = tool.AddCommand(
        "verify", "Check the talk file and its tables and list every problem with its place");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddFlag("--json", options->json,
                    "one JSON object: the number of problems and the listed findings");
    command.OnRun([options] { RunVerify(*options); });
}

}  // namespace vox::tool

// voxtool verify TALK: checks everything the database's formats promise and lists each problem
// with its place. Reads only; exit 0 when clean, 1 with findings.
#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Verify maps the talk file inside the data layer, out of the tool's sight. A file that is
// shorter when verify ends than when it began was cut under that mapping, and what was read
// past the new end were zeros: the findings describe bytes that are gone. Watching through a
// descriptor of our own sees the same file even if another program renames it away.
class TruncationWatch {
public:
    explicit TruncationWatch(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
        startSize_ = Size();
    }
    ~TruncationWatch() {
        if (fd_ >= 0) close(fd_);
    }
    TruncationWatch(const TruncationWatch&) = delete;
    TruncationWatch& operator=(const TruncationWatch&) = delete;

    bool WasCut() const {
        const off_t now = Size();
        return startSize_ >= 0 && now >= 0 && now < startSize_;
    }

private:
    off_t Size() const {
        struct stat info;
        return fd_ >= 0 && fstat(fd_, &info) == 0 ? info.st_size : -1;
    }

    int fd_;
    off_t startSize_ = -1;
};

void RunVerify(const VerifyOptions& options) {
    SpeechCodec codec;
    if (!codec.Init()) {
        PrintError("the speech codec could not be started");
        ExitStatus() = kExitFailure;
        return;
    }
    TerminalProgress progress("verify");
    const TruncationWatch watch(options.talkPath);
    const VerifyReport report =
        VerifyDatabaseFiles(options.talkPath, MakeEntryDecodeCheck(codec), progress.Fn());
    progress.Finish();
    for (const VerifyFinding& finding : report.findings) std::cout << finding.Text() << '\n';
    if (watch.WasCut()) {
        ReportDamagedFile(options.talkPath);
        return;
    }
    if (report.cancelled) return;  // Finish has said so and set the status
    if (report.findings.empty()) {
        std::cout << "no problems found\n";
        return;
    }
    std::cout << report.findings.size()
              << (report.findings.size() == 1 ? " problem found\n" : " problems found\n");
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

// A file cut short by another program while it is read: verify reports it, and a voxtool command
// that read through it fails instead of passing off zeros as the database. The document's report
// is in truncation_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "talkdata/verify.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "workbench/document.h"

extern char** environ;

namespace vox::test {
namespace {

constexpr const char* kDamaged = ": damaged: changed by another program while open";

// What another program does: cut the file through a descriptor of its own.
void CutBehindTheMapping(const std::string& path, off_t size) {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

// Verify reads the talk file through a mapping of its own. The decode check is the caller's, so
// the cut lands at a known place: while the first entry is checked, before the rest are read.
TEST(DamagedVerify, ATalkFileCutWhileVerifyReadsItIsReportedAsDamaged) {
    TempDir dir;
    const std::string talk = WriteSpeechDatabase(dir.Path(), 20);
    int checks = 0;
    // Like the codec, the check reads every coded byte of its entry.
    const EntryDecodeCheck cutOnFirstCheck = [&](const VoxEntry& entry, std::string*) {
        if (checks++ == 0) CutBehindTheMapping(talk, 16);
        volatile uint8_t sum = 0;
        for (uint32_t i = 0; i < entry.codedSize; ++i) sum = sum + entry.data[i];
        return true;
    };
    const VerifyReport report = VerifyDatabaseFiles(talk, cutOnFirstCheck);
    EXPECT_GT(checks, 0);
    EXPECT_TRUE(report.talkDamaged);

    const std::string whole = WriteSpeechDatabase(dir.Path(), 20);
    const VerifyReport untouched =
        VerifyDatabaseFiles(whole, [](const VoxEntry&, std::string*) { return true; });
    EXPECT_FALSE(untouched.talkDamaged);
}

// voxtool with its output into a pipe that the test reads at its own pace, so that the tool
// stops, its output unread, at a known place.
class PipedVoxtool {
  public:
    PipedVoxtool(const std::vector<std::string>& args, const std::string& folder)
        : errPath_(folder + "/stderr.txt") {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> words = {"voxtool"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + folder + "/config"};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) env.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, VOXTOOL_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~PipedVoxtool() {
        if (out_ >= 0) close(out_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool Started() const { return pid_ > 0 && out_ >= 0; }
    // Reads at least bytes of the output (fewer only at its end); how many were read.
    size_t Read(size_t bytes) {
        size_t got = 0;
        char buffer[4096];
        while (got < bytes) {
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        return got;
    }
    // Reads the rest and waits for the end; the exit status, or -1.
    int Finish() {
        Read(SIZE_MAX);
        int status = 0;
        const pid_t ended = waitpid(pid_, &status, 0);
        pid_ = -1;
        return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string ErrorOutput() const {
        std::ostringstream text;
        text << std::ifstream(errPath_).rdbuf();
        return text.str();
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string errPath_;
};

// So many talk entries that dump's listing of them is far larger than a pipe holds: a dump
// that has printed only the first few kilobytes cannot have read far into the talk file.
std::string WriteLongTalkFile(const std::string& folder) {
    DatabaseBuilder db;
    for (int i = 0; i < 30000; ++i) db.AddEntry(320, {1, 2, 3, 4});
    db.AddFragment({{0, 0}});
    db.AddEval({{0, 0}});
    db.AddComm(CommSpec{.entries = {0}});
    return db.WriteTo(folder);
}

TEST(DamagedVoxtool, ADumpWhoseTalkFileIsCutWhileItRunsFailsAndNamesTheFile) {
    TempDir dir;
    const std::string talk = WriteLongTalkFile(dir.Path());
    PipedVoxtool tool({"dump", talk}, dir.Path());
    ASSERT_TRUE(tool.Started());
    ASSERT_GE(tool.Read(4096), 4096u);
    CutBehindTheMapping(talk, 0);
    EXPECT_EQ(tool.Finish(), 1);
    const std::string err = tool.ErrorOutput();
    EXPECT_NE(err.find("voxtool: " + talk + kDamaged), std::string::npos) << err;
}

TEST(DamagedVoxtool, TheSameDumpLeftAloneSucceeds) {
    TempDir dir;
    const std::string talk = WriteLongTalkFile(dir.Path());
    PipedVoxtool tool({"dump", talk}, dir.Path());
    ASSERT_TRUE(tool.Started());
    ASSERT_GE(tool.Read(4096), 4096u);
    EXPECT_EQ(tool.Finish(), 0);
    EXPECT_EQ(tool.ErrorOutput(), "");
}

}  // namespace
}  // namespace vox::test

#include "tests/faults/childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/tempdir.h"

extern char** environ;

namespace vox::test {

ChildProcess::~ChildProcess() {
    Kill();
    Wait();
}

bool ChildProcess::Start(const std::vector<std::string>& args, const std::string& configHome) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = configHome + "/.stdout";
    const std::string err = configHome + "/.stderr";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Only voxtool reads it; this program's own settings live in memory.
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(VOXTOOL_PATH)};
    for (const std::string& word : args) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int failed = posix_spawn(&pid_, VOXTOOL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) pid_ = -1;
    return failed == 0;
}

void ChildProcess::Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
}

int ChildProcess::Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

int RunToEnd(const std::vector<std::string>& args, const std::string& configHome,
             std::string* errorOutput, std::string* output) {
    ChildProcess child;
    const int status = child.Start(args, configHome) ? child.Wait() : -1;
    if (errorOutput != nullptr) *errorOutput = ReadText(configHome + "/.stderr");
    if (output != nullptr) *output = ReadText(configHome + "/.stdout");
    return status;
}

}  // namespace vox::test

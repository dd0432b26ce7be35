#include "tests/faults/childprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/tempdir.h"

extern char** environ;

namespace vox::test {

pid_t StartVoxtool(const std::vector<std::string>& args, const std::string& configHome) {
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
    pid_t child = -1;
    const int failed = posix_spawn(&child, VOXTOOL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

int RunToEnd(const std::vector<std::string>& args, const std::string& configHome,
             std::string* errorOutput, std::string* output) {
    const pid_t child = StartVoxtool(args, configHome);
    const int status = child > 0 ? WaitFor(child) : -1;
    if (errorOutput != nullptr) *errorOutput = ReadText(configHome + "/.stderr");
    if (output != nullptr) *output = ReadText(configHome + "/.stdout");
    return status;
}

}  // namespace vox::test

#include "tests/tools/toolrunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/tempdir.h"

extern char** environ;

namespace vox::test {

ToolResult RunVoxtool(const std::vector<std::string>& args, const std::string& configHome,
                      const ToolIo& io) {
    const std::string outPath = configHome + "/.stdout";
    const std::string errPath = configHome + "/.stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, io.in.c_str(), O_RDONLY, 0);
    // A pipe whose reading end is closed before the tool starts: its first write finds no reader.
    int pipeEnds[2] = {-1, -1};
    if (io.out == ToolIo::Out::kClosedPipe) {
        if (pipe(pipeEnds) != 0) throw std::runtime_error("cannot make a pipe");
        close(pipeEnds[0]);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    } else {
        const bool full = io.out == ToolIo::Out::kFullDisk;
        posix_spawn_file_actions_addopen(&actions, 1, full ? "/dev/full" : outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (!io.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, io.folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("XDG_CONFIG_HOME=" + configHome);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings = {VOXTOOL_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, VOXTOOL_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start voxtool");
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    int status = 0;
    waitpid(pid, &status, 0);

    ToolResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (io.out == ToolIo::Out::kCaptured) result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return result;
}

}  // namespace vox::test

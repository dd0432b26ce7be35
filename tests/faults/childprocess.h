#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vox::test {

// Starts voxtool as a child process, so that a test can kill it wherever it happens to be. Its
// settings live in configHome; its output goes to ".stdout" and ".stderr" there. -1 on failure.
pid_t StartVoxtool(const std::vector<std::string>& args, const std::string& configHome);
// Waits for the child's end; the exit status, or -signal when a signal ended it.
int WaitFor(pid_t child);
// Runs voxtool to its end; the exit status as WaitFor gives it.
int RunToEnd(const std::vector<std::string>& args, const std::string& configHome,
             std::string* errorOutput = nullptr, std::string* output = nullptr);

}  // namespace vox::test

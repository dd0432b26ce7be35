#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vox::test {

// voxtool running as a child process, so that a test can kill it wherever it happens to be.
// Its settings live in configHome; its output goes to ".stdout" and ".stderr" there.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();  // kills and reaps a child that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::vector<std::string>& args, const std::string& configHome);
    void Kill();  // SIGKILL
    // Waits for the end; the exit status, or -signal when a signal ended it.
    int Wait();

  private:
    pid_t pid_ = -1;
};

// Runs voxtool to its end; the exit status as Wait gives it.
int RunToEnd(const std::vector<std::string>& args, const std::string& configHome,
             std::string* errorOutput = nullptr, std::string* output = nullptr);

}  // namespace vox::test

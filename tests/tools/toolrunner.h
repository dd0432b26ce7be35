#pragma once

#include <string>
#include <vector>

namespace vox::test {

struct ToolResult {
    int status = -1;  // exit status, or -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Where voxtool's standard streams and working folder are.
struct ToolIo {
    std::string in = "/dev/null";
    enum class Out { kCaptured, kFullDisk, kClosedPipe } out = Out::kCaptured;
    std::string folder;  // empty: the test's own
};

// Runs voxtool with the arguments, its settings in configHome (never the real user's), and
// returns what it printed and its exit status.
ToolResult RunVoxtool(const std::vector<std::string>& args, const std::string& configHome,
                      const ToolIo& io = {});

}  // namespace vox::test

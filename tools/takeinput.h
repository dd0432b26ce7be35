#pragma once

#include <string>

#include "workbench/recording.h"

namespace CLI {
class App;
}

namespace vox::tool {

// The options replace and add share for the take they store.
struct TakeOptions {
    std::string path;
    bool trim = false;
    bool normalize = false;
};

// Registers IN, --trim and --normalize on a command.
void AddTakeOptions(CLI::App& command, TakeOptions& options);

// Reads the take for the fragment through ReadRecording. On failure prints why (for a take
// that is only too long, how --trim stores it), sets the failure status and returns false.
bool ReadTake(CVoxbenchDoc& doc, const TakeOptions& options, RecordingRequest request,
              CodedRecording& take);

// After the take was stored: each note and each warning on stderr, after the file's name, so
// that stdout keeps only the command's result.
void ReportTake(const TakeOptions& options, const CodedRecording& take);

}  // namespace vox::tool

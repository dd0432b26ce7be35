#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "workbench/recording.h"

namespace vox::tool {

class Command;

// The options replace and add share for the take they store.
struct TakeOptions {
    std::string path;  // "-": standard input
    bool trim = false;
    bool normalize = false;
    std::vector<uint8_t> piped;  // what standard input held, once LoadTake read it
};

// Registers IN, --trim and --normalize on a command.
void AddTakeOptions(Command& command, TakeOptions& options);

// The name messages give the take: its path, or "standard input".
std::string TakeName(const std::string& path);

// Reads all of standard input, up to the largest sound file a take may come from. On failure
// (a terminal, a read error, too much) says why, sets the failure status and returns false.
bool ReadStandardInput(std::vector<uint8_t>& bytes);

// Before the database is opened, so that a take that never comes cannot hold its lock: checks
// that the file can be read, or reads standard input whole. False after saying why.
bool LoadTake(TakeOptions& options);

// Reads the take for the fragment through ReadRecording. On failure prints why (for a take
// that is only too long, how --trim stores it), sets the failure status and returns false.
bool ReadTake(CVoxbenchDoc& doc, const TakeOptions& options, RecordingRequest request,
              CodedRecording& take);

// After the take was stored: each note and each warning on stderr, after the file's name, so
// that stdout keeps only the command's result.
void ReportTake(const TakeOptions& options, const CodedRecording& take);

}  // namespace vox::tool

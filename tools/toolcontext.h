#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talkdata/iniprofile.h"
#include "talkdata/status.h"
#include "workbench/document.h"

namespace vox::tool {

class Command;

// Exit statuses, as Unix tools have them.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Thrown by a command to end with a usage error (exit 2) after the argument parser accepted
// the words, for example arguments given in an order the command no longer takes.
struct UsageError {
    std::string message;
};

// Prints "voxtool: <message>" on stderr.
void PrintError(const std::string& message);

// Whether path names a regular file that can be read; says why not (and sets the failure
// status) otherwise. Writing commands ask before they take the database's lock: a FIFO would
// make them wait for a writer for ever while they hold it.
bool CheckInputFile(const std::string& path);

// Prints "voxtool: <message>" on stderr unless --quiet was given: for what a person may like
// to know but a script does not need (a conversion made, a file left out of a pack).
void PrintNote(const std::string& message);

// Set by --quiet: no progress and no notes; errors and warnings still show.
bool& Quiet();

// Puts std::cout on a buffer that keeps the reason of a failed write. Called first in main.
void TakeOverStdout();

// Writes bytes to standard output after whatever the stream holds; false when that failed (a
// full disk, a closed pipe). The failure is remembered and reported once, by FinishOutput.
bool WriteToStdout(const std::vector<uint8_t>& bytes);

// Flushes standard output and turns a failed write anywhere in the run into exit status 1 with
// the reason on stderr; a reader that went away (as head does) ends the command without a
// word. Returns the status to exit with.
int FinishOutput(int status);

// One opened database for a command, with the user's profile (read-only for read commands so a
// read never changes a byte anywhere).
class OpenDatabase {
  public:
    // Play opens read-only like Read, with the real sound device instead of a silent one.
    enum class Mode { Read, Write, Play };
    OpenDatabase(Mode mode);
    // Opens the talk file and its companion tables. When any of them cannot be opened: prints
    // the reason, sets the exit status to a failure and returns false.
    bool Open(const std::string& talkPath);
    CVoxbenchDoc& Doc() { return *doc_; }

  private:
    Mode mode_;
    IniProfile profile_;
    std::unique_ptr<CVoxbenchDoc> doc_;
};

// Reads through a mapping that another program cut short see zeros, so whatever a command
// printed or wrote from them cannot be trusted. Constructed once the database is open, it asks
// the document when the command ends, however it ends, and if a file was damaged names it on
// stderr and turns the exit status into a failure.
class DamageCheck {
  public:
    explicit DamageCheck(const CVoxbenchDoc& doc) : doc_(doc) {}
    ~DamageCheck();
    DamageCheck(const DamageCheck&) = delete;
    DamageCheck& operator=(const DamageCheck&) = delete;

  private:
    const CVoxbenchDoc& doc_;
};

// "voxtool: <path>: damaged: changed by another program while open", and exit status 1.
void ReportDamagedFile(const std::string& path);

// The form's guard: a database without fragments counts as none loaded. Says
// "No Voxfile loaded!", sets the failure status and returns false then.
bool GuardLoaded(const CVoxbenchDoc& doc);

// Prints a failed command's error and sets the failure status.
void Fail(const Status& status);

// Each command registers itself on the tool; its callback stores the exit status here.
int& ExitStatus();

void RegisterDump(Command& tool);
void RegisterFind(Command& tool);
void RegisterSearch(Command& tool);
void RegisterInfo(Command& tool);
void RegisterPack(Command& tool);
void RegisterUnpack(Command& tool);
void RegisterSettings(Command& tool);
void RegisterWav(Command& tool);
void RegisterExport(Command& tool);
void RegisterReplace(Command& tool);
void RegisterAdd(Command& tool);
void RegisterImport(Command& tool);
void RegisterVerify(Command& tool);
void RegisterCompact(Command& tool);
void RegisterHistory(Command& tool);
void RegisterRevert(Command& tool);
void RegisterPlay(Command& tool);
void RegisterPlayFile(Command& tool);
void RegisterLevels(Command& tool);

}  // namespace vox::tool

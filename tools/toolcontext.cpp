#include "tools/toolcontext.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "audio/player/nullsounddevice.h"
#include "tools/stdoutbuffer.h"

namespace vox::tool {

namespace {

StdoutBuffer& Output() {
    static StdoutBuffer buffer(STDOUT_FILENO);
    return buffer;
}

std::streambuf* originalStdout = nullptr;

}  // namespace

void PrintError(const std::string& message) { std::cerr << "voxtool: " << message << '\n'; }

void PrintNote(const std::string& message) {
    if (!Quiet()) PrintError(message);
}

bool& Quiet() {
    static bool quiet = false;
    return quiet;
}

bool CheckInputFile(const std::string& path) {
    struct stat info {};
    std::string why;
    if (stat(path.c_str(), &info) != 0)
        why = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        why = std::strerror(EISDIR);
    else if (!S_ISREG(info.st_mode))
        why = "not a regular file";
    else if (access(path.c_str(), R_OK) != 0)
        why = std::strerror(errno);
    if (why.empty()) return true;
    PrintError(path + ": " + why);
    ExitStatus() = kExitFailure;
    return false;
}

void TakeOverStdout() { originalStdout = std::cout.rdbuf(&Output()); }

bool WriteToStdout(const std::vector<uint8_t>& bytes) {
    std::cout.flush();
    return Output().WriteAll(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

int FinishOutput(int status) {
    std::cout.flush();
    int error = Output().Error();
    // Bytes written around the stream (a library's printf) fail without a reason kept.
    if (error == 0 && std::fflush(stdout) != 0) error = errno;
    if (originalStdout != nullptr) std::cout.rdbuf(originalStdout);
    if (error == 0) return status;
    if (error != EPIPE) PrintError(std::string("standard output: ") + std::strerror(error));
    return status == kExitOk ? kExitFailure : status;
}

OpenDatabase::OpenDatabase(Mode mode)
    // The tool reads the user's settings (the remembered side files) but never writes them:
    // none of its commands changes a setting, and writing back unchanged eval names would
    // create a settings file for someone who never asked for one.
    : mode_(mode), profile_(IniProfile::DefaultPath(), /*readOnly=*/true) {
    // Commands that do not play never touch the sound system.
    SoundDeviceFactory devices = mode == Mode::Play
                                     ? SoundDeviceFactory(MakeDefaultSoundDevice)
                                     : MakeNullSoundFactory(std::make_shared<NullSoundControl>());
    doc_ = std::make_unique<CVoxbenchDoc>(profile_, std::move(devices));
}

bool OpenDatabase::Open(const std::string& talkPath) {
    const auto access =
        mode_ == Mode::Write ? CVoxbenchDoc::Access::ReadWrite : CVoxbenchDoc::Access::ReadOnly;
    if (!doc_->OnOpenDocument(talkPath, access)) {
        PrintError(doc_->GetOpenError());
        ExitStatus() = kExitFailure;
        return false;
    }
    return true;
}

bool GuardLoaded(const CVoxbenchDoc& doc) {
    if (doc.GetFragCount() != 0) return true;
    PrintError("No Voxfile loaded!");
    ExitStatus() = kExitFailure;
    return false;
}

void Fail(const Status& status) {
    if (!status.error.empty()) PrintError(status.error);
    ExitStatus() = kExitFailure;
}

DamageCheck::~DamageCheck() {
    const std::string damaged = doc_.DamagedFileName();
    if (!damaged.empty()) ReportDamagedFile(damaged);
}

void ReportDamagedFile(const std::string& path) {
    PrintError(path + ": damaged: changed by another program while open");
    ExitStatus() = kExitFailure;
}

int& ExitStatus() {
    static int status = kExitOk;
    return status;
}

}  // namespace vox::tool

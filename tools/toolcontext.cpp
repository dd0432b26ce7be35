#include "tools/toolcontext.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "audio/player/nullsounddevice.h"

namespace vox::tool {

void PrintError(const std::string& message) { std::cerr << "voxtool: " << message << '\n'; }

int ParseInt(const std::string& text, const std::string& what) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const bool digitsOnly =
        i < text.size() && text.find_first_not_of("0123456789", i) == std::string::npos;
    if (!digitsOnly) throw UsageError{what + " must be a whole number: '" + text + "'"};
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        throw UsageError{what + " is outside the 32-bit range: '" + text + "'"};
    return static_cast<int>(value);
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

bool WriteToStdout(const std::vector<uint8_t>& bytes, std::string* why) {
    std::cout.flush();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (why != nullptr) *why = std::string("standard output: ") + std::strerror(errno);
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
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

#pragma once

#include <string>
#include <utility>

namespace vox {

// What a library command did. Every command returns a result: this one when it has nothing
// else to tell, or a struct of its own (ExportResult, ImportResult, CompactResult,
// VerifyReport) with the same two fields beside its figures. error is empty on success and
// otherwise says what failed, naming the file and the reason where there is one, in words a
// front end shows as they are; cancelled means the person stopped the command (a progress
// function answered "stop") before it changed anything. Nothing in the library speaks to the
// person: the desktop program shows error in a message box, voxtool prints it.
struct Status {
    std::string error;
    bool cancelled = false;

    bool Ok() const { return error.empty() && !cancelled; }
    explicit operator bool() const { return Ok(); }

    static Status Failure(std::string why) { return {std::move(why), false}; }
    static Status Cancelled() { return {"", true}; }
};

}  // namespace vox

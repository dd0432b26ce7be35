#pragma once

#include <ctime>
#include <string>

namespace vox {

// What a writer does once it holds the talk file's lock, before it reads anything: it removes
// the temporary files that killed writers left beside the database (a table save's
// ".fragFile.bin.XXXXXX", a rewrite's "speech.vo$"), all of them older than the lock, and it
// completes a batch of slots that a writer was stopped in (slotjournal.h). Everything read
// after this is the database as the last writer left it. False, and why, when a stopped batch
// cannot be completed; the database is then left alone for a person to look at.
bool PrepareToWrite(const std::string& talkPath, time_t lockedAt, std::string* why = nullptr);

}  // namespace vox

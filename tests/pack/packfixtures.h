#pragma once

#include <string>
#include <vector>

#include "pack/unpacker.h"
#include "talkdata/progress.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"

namespace vox::test {

// Collects notes.
struct NoteLog {
    std::vector<std::string> notes;
    std::string All() const;
};

// Unpacks the database in dbFolder (talk file talkName and the three tables) into outFolder
// through the library, as voxtool unpack does after opening it.
bool UnpackFolder(const std::string& dbFolder, const std::string& talkName,
                  const std::string& outFolder, NoteLog& log, std::string& error,
                  const std::string& phrasesPath = "", const std::string& commNamesPath = "",
                  const ProgressFn& progress = {});

bool PackFolder(const std::string& folder, const std::string& outFolder, NoteLog& log,
                std::string& error, const ProgressFn& progress = {});

// Checks that the packed database keeps what the original holds: identical tables (when
// tablesIdentical), the same talk header and slot count, every slot empty where it was
// empty, every entry with its decodedSize and coded bytes, and slots shared where they were.
void ExpectSameDatabase(const std::string& original, const std::string& packed,
                        const std::string& talkName, bool tablesIdentical = true);

}  // namespace vox::test

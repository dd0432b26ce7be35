#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "workbench/document.h"

namespace vox::test {

// A database with real recordings: entries 0 to 5 hold tones, entry 6 shares entry 2, entry 7
// is empty. Fragment 0 has voices 0 (entry 0) and 3 (entry 1); fragment 1 voice 2 (entry 2);
// fragment 2 voices 0 (entry 3) and 5 (entry 4); fragment 3 voice 1 (entry 5); fragment 4
// voice 2 (entry 6, the same recording as fragment 1's). Two evals; one comm {0, -1, 3, 2}.
DatabaseBuilder SampleDatabase();

inline uint32_t SlotValue(const Bytes& talk, int voxIndex) {
    return ReadU32(talk.data() + 12 + 4 * voxIndex);
}
// Entry voxIndex of a talk file: its header and coded bytes.
Bytes EntryOf(const Bytes& talk, int voxIndex);

// SampleDatabase() written into a temporary folder, to be opened in a document.
class DocumentFixture : public ::testing::Test {
  protected:
    ~DocumentFixture() override;
    void Write(const DatabaseBuilder& db) { talk_ = db.WriteTo(dir_.Path()); }
    void Open(CVoxbenchDoc::Access access = CVoxbenchDoc::Access::ReadWrite);
    std::unique_ptr<CVoxbenchDoc> MakeDocument();
    Bytes TalkBytes() const { return ReadFileBytes(talk_); }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_ = SampleDatabase().WriteTo(dir_.Path());
};

}  // namespace vox::test

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "workbench/document.h"

namespace vox::test {

using Bytes = std::vector<uint8_t>;

// A database with real recordings: entries 0 to 5 hold tones, entry 6 shares entry 2, entry 7
// is empty. Fragment 0 has voices 0 (entry 0) and 3 (entry 1); fragment 1 voice 2 (entry 2);
// fragment 2 voices 0 (entry 3) and 5 (entry 4); fragment 3 voice 1 (entry 5); fragment 4
// voice 2 (entry 6, the same recording as fragment 1's). Two evals; one comm {0, -1, 3, 2}.
DatabaseBuilder SampleDatabase();

// The size of entry voxIndex of a talk file: its header and coded bytes.
uint32_t EntryLength(const Bytes& talk, int voxIndex);
uint32_t SlotValue(const Bytes& talk, int voxIndex);

// A database written into a temporary folder and opened in a document.
class DocumentFixture : public ::testing::Test {
  protected:
    ~DocumentFixture() override;
    void Write(const DatabaseBuilder& db);
    // Opens the written database; false (and the reason in the failure) when it will not.
    void Open(CVoxbenchDoc::Access access = CVoxbenchDoc::Access::ReadWrite);
    std::unique_ptr<CVoxbenchDoc> MakeDocument();
    Bytes TalkBytes() const { return ReadFileBytes(talk_); }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
};

}  // namespace vox::test

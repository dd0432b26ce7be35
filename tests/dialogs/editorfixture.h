#pragma once

#include <memory>
#include <string>

#include "talkdata/memoryprofile.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "workbench/document.h"

namespace vox::test {

// Counts the document's refreshes, as the main form would see them.
class CountingView : public DocumentView {
  public:
    void OnUpdate() override { ++updates; }
    int updates = 0;
};

// A small database on disk, opened in a document whose questions a script answers:
//   fragments 0 {voice 1 -> 0, voice 5 -> 0}, 1 {voice 0 -> 0}, 2 {no voices}, 3..12 {voice 0}
//   evals 0 {1 -> 5, 9 -> 6}, 1 {0 -> 1}, 2 {3 -> 6, 4 -> 6}, 3 {}, 4 {2 -> 12}
//   comms 0 {1, -1}, 1 {5, 2}, 2 {-5, 3}, 3 {0, 7}, 4 {}, 5 {-4, 9}
//   phrases for fragments 5, 6, 8 and 100 in voices 0 and 1 ("five-0", "five-1", ...)
class EditorFixture {
  public:
    EditorFixture();
    ~EditorFixture();

    // The folder's copy of a companion file, as the document loaded it.
    std::string CompanionFile(const char* name) const { return dir.File(name); }

    TempDir dir;
    MemoryProfile profile;
    ScriptedPrompter prompter;
    CountingView view;
    std::string talk;
    std::string phraseFile;
    std::unique_ptr<CVoxbenchDoc> doc;
};

}  // namespace vox::test

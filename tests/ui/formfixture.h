#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsoundcontrol.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "ui/cvoxbenchapp.h"
#include "ui/cvoxbenchview.h"
#include "ui/templates/dialogtemplate.h"
#include "workbench/document.h"

class QLineEdit;
class QPushButton;

namespace vox::test {

// The form and the templates of the program, as the tests load them.
DialogTemplateSet LoadProgramTemplates();

// A small database whose talk entries really decode. Entry k decodes to (k + 2) codec frames,
// so a played sound tells which entry it was.
//   fragments: 0 {v0: e0, v1: e1}  1 {v0: e2}  2 {v0: e3, v1: e4}  3 {v1: e5}  4 {v0: e6, v13: e7}
//   evals:     0 [frag 1]  1 [frag 2, frag 3, frag 0]  2 [frag 4]
//   comms:     0 [2, -1, 3] warp 5 priority 7 position 9 bullseye -3 evals 1
//              1 [4]   2 twenty entries (i % 5)   3 [-7] (no eval 7)   4 [-2, 0]
// Phrases "f<frag>v<voice>" for fragments 0 to 4 and voices 0 and 1; comm 0 is named "Greeting".
struct TestDatabase {
    static constexpr int kEntries = 8;
    static uint32_t EntryBytes(int entry) { return static_cast<uint32_t>(entry + 2) * 320; }
    static int EntryOfBytes(size_t bytes) { return static_cast<int>(bytes / 320) - 2; }

    // Writes the database into folder; returns the talk file's path.
    static std::string Write(const std::string& folder);
    static std::string WritePhrases(const std::string& folder);
    static std::string WriteCommNames(const std::string& folder);
};

// A document on the test database with the form over it, a scripted prompter and a null sound
// device that records what it played.
class FormFixture {
  public:
    explicit FormFixture(bool open = true, bool withNames = true);
    ~FormFixture();

    CVoxbenchView& View() { return *view_; }
    CVoxbenchDoc& Doc() { return *doc_; }
    ScriptedPrompter& Prompter() { return prompter_; }
    const std::string& TalkPath() const { return talkPath_; }
    const TempDir& Dir() const { return dir_; }
    NullSoundControl& Sound() { return *sound_; }

    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    QString Text(int id) const;  // an edit's text, plain or multi-line, or a button's text
    bool Enabled(int id) const;
    // Replaces a field's text by typing, as a person would (select all, then the keys).
    void Type(int id, const QString& text);
    void Click(int id);

    // The entries played, in order, after waiting for count sounds (or the time limit).
    std::vector<int> Played(int count);
    // What was played within a short wait for anything more (for "nothing plays").
    std::vector<int> PlayedSoFar();

  private:
    TempDir dir_;
    std::string talkPath_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::shared_ptr<NullSoundControl> sound_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    DialogTemplateSet templates_;
    std::unique_ptr<CVoxbenchView> view_;
};

// The whole program on the test database (frame, form and document) with a scripted prompter
// and a null sound device. Build makes it; with realEditors the eval and frag editors open.
struct AppFixture {
    TempDir dir;
    std::string talkPath = TestDatabase::Write(dir.Path());
    MemoryProfile profile;
    ScriptedPrompter prompter;
    std::shared_ptr<NullSoundControl> sound = std::make_shared<NullSoundControl>();
    std::unique_ptr<CVoxbenchApp> app;

    void Build(bool realEditors = false);
    // An edit's text on the form, or "<missing>".
    QString Field(int id) const;
};

}  // namespace vox::test

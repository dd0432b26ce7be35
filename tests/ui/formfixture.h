#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsoundcontrol.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "ui/cmainframe.h"
#include "ui/cvoxbenchapp.h"
#include "ui/cvoxbenchview.h"
#include "workbench/document.h"

namespace vox::test {

// A small database whose talk entries really decode. Entry k decodes to (k + 2) codec frames,
// so a played sound tells which entry it was.
//   fragments: 0 {v0: e0, v1: e1}  1 {v0: e2}  2 {v0: e3, v1: e4}  3 {v1: e5}  4 {v0: e6, v13: e7}
//   evals:     0 [frag 1]  1 [frag 2, frag 3, frag 0]  2 [frag 4]
//   comms:     0 [2, -1, 3] warp 5 priority 7 position 9 bullseye -3 evals 1
//              1 [4]   2 twenty entries (i % 5)   3 [-7] (no eval 7)   4 [-2, 0]
// Phrases "f<frag>v<voice>" for fragments 0 to 4 and voices 0 and 1; comm 0 is named "Greeting"
// and comm 1 "Warning".
struct TestDatabase {
    static uint32_t EntryBytes(int entry) { return static_cast<uint32_t>(entry + 2) * 320; }
    static int EntryOfBytes(size_t bytes) { return static_cast<int>(bytes / 320) - 2; }
    // Writes the database into folder; returns the talk file's path.
    static std::string Write(const std::string& folder);
};

// The whole program (frame, form and document) on the test database, with a scripted prompter,
// the side files' names in its settings and a null sound device that records what it played.
struct Program {
    enum class Start { Open, Empty, Later };  // Later: built, InitInstance not yet run
    explicit Program(Start start = Start::Open, bool realEditors = false);

    CVoxbenchView& View() { return *app->View(); }
    CVoxbenchDoc& Doc() { return app->Document(); }
    CMainFrame& Frame() { return *app->MainFrame(); }
    QString Title() { return Frame().windowTitle(); }
    void Trigger(int command);

    QLineEdit* Edit(int id);
    QPushButton* Button(int id);
    QString Text(int id);  // an edit's text, plain or multi-line, or a button's text
    // Replaces a field's text by typing, as a person would (select all, then the keys).
    void Type(int id, const QString& text);
    void Click(int id);

    // The entries played, in order, after waiting for count sounds (or the time limit).
    std::vector<int> Played(int count);
    // What was played within a short wait for anything more (for "nothing plays").
    std::vector<int> PlayedSoFar();

    TempDir dir;
    std::string talkPath = TestDatabase::Write(dir.Path());
    MemoryProfile profile;
    ScriptedPrompter prompter;
    std::shared_ptr<NullSoundControl> sound = std::make_shared<NullSoundControl>();
    std::unique_ptr<CVoxbenchApp> app;
};

}  // namespace vox::test

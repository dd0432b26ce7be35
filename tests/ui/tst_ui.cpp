// The desktop program driven through its widgets. The resource tables: the dialog-template and
// frame formats, dialog units and the recent-file list. The main form: what it shows, where its
// buttons step and what they play, the actions and their dialogs, the tinted phrases of the
// sequence field. The whole program as a person meets it: start-up and title, the question
// before a modified document is dropped, where file dialogs open, buttons that cannot act,
// damaged files, fields that never show another document's values, Auto Play, the keyboard and
// the phrase search. Edit > Undo and Redo over every change a person makes: each command done,
// saved, undone, saved, redone and saved, with the files compared byte for byte; the modified
// state following the stack's clean state; the takes of a recording and a revert to one of them.
#include <unistd.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <filesystem>
#include <fstream>

#include "audio/wavefile.h"
#include "talkdata/talklayout.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/support/testsounds.h"
#include "tests/ui/formfixture.h"
#include "ui/commandids.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/chistorydlg.h"
#include "ui/exportflows.h"
#include "ui/phrasesearchdock.h"
#include "workbench/takehistory.h"

namespace vox::test {
namespace {

// --- helpers of the resource tests ---
std::span<const uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// --- helpers of the form tests ---
using namespace vox::form;
using Entries = std::vector<int>;

// The fields' texts joined by "|".
QString Texts(Program& p, std::initializer_list<int> ids) {
    QStringList texts;
    for (int id : ids) texts << p.Text(id);
    return texts.join('|');
}

// The tints of the sequence field, each as where it starts and the text it covers; a tint
// like its neighbour's is marked.
QStringList Tints(Program& p) {
    const auto* field =
        p.View().findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(kSequenceText));
    const QList<QTextEdit::ExtraSelection> tints = field->extraSelections();
    QStringList shown;
    for (qsizetype i = 0; i < tints.size(); ++i) {
        const QTextCursor& cursor = tints[i].cursor;
        shown << QString("%1:%2").arg(cursor.selectionStart()).arg(cursor.selectedText());
        if (i > 0 && tints[i].format.background() == tints[i - 1].format.background())
            shown << "same tint";
    }
    return shown;
}

// Fields that show what a fragment or comm holds, and must be empty when there is none.
const int kRecordFields[] = {kVoiceCount, kVoxIndex, kVoxSize1,   kVoxSize2,    kPriority,
                             kPosition,   kBullseye, kElements,   kEvals,       kWarp,
                             kCommName,   kFragBase, kNumberBase, kFragBase + 2};

// --- helpers of the undo tests ---
// The program on the test database, with the real editors and the undo stack.
struct UndoApp : Program {
    UndoApp() : Program(Start::Open, true) {}
    // File > Save, answering the dialog of each table it asks for.
    bool Save() {
        if (Doc().GetFragTable().IsModified()) prompter.AnswerFile(dir.File("fragFile.bin"));
        if (Doc().GetEvalTable().IsModified()) prompter.AnswerFile(dir.File("evalFile.bin"));
        return app->OnFileSave();
    }
    std::string TakeFile(double hz = 440) {
        const std::string path = dir.File("take.wav");
        WriteFileBytes(path, SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1,
                                            SineFrames(hz, 0.2, 8000, 1, 0.3)));
        return path;
    }
    // Add Voice (previewed) or Add New through the form, into that voice.
    void Add(bool asNew, long long voice) {
        prompter.AnswerFile(TakeFile());
        if (!asNew) prompter.AnswerPreview(true);
        prompter.AnswerNumbers(std::vector<long long>{voice});
        asNew ? View().AddNewFromWave() : View().AddVoiceFromWave();
    }
    // Replace through the form, once it shows that fragment and voice.
    void Replace(int fragment, int voice, double hz = 440) {
        View().GoToPhrase(fragment, voice);
        prompter.AnswerFile(TakeFile(hz));
        prompter.AnswerPreview(true);
        View().ReplaceFromWave();
    }
    // The entry the voice's slot points at, header and coded bytes, as on disk.
    Bytes Entry(int fragment, int voice) {
        const Bytes talk = ReadFileBytes(talkPath);
        uint32_t at = 0;
        if (!Doc().GetSlotOffset(fragment, voice, at) || at + 8 > talk.size()) return {};
        const size_t coded = talk[at + 4] | talk[at + 5] << 8 | size_t{talk[at + 6]} << 16;
        return Bytes(talk.begin() + static_cast<long>(at),
                     talk.begin() + static_cast<long>(std::min(talk.size(), at + 8 + coded)));
    }
};

// What a change can reach: the three tables and the talk file on disk, eval 1's name.
struct State {
    Bytes frags, evals, comms, talk, history;
    std::string names;
    bool operator==(const State&) const = default;
};

State Capture(UndoApp& a) {
    const auto read = [&](const char* name) {
        return FileExists(a.dir.File(name)) ? ReadFileBytes(a.dir.File(name)) : Bytes();
    };
    State state{read("fragFile.bin"), read("evalFile.bin"),       read("commFile.bin"),
                read("speech.vox"),   read("speech.vox.history"), {}};
    a.Doc().GetEvalName(1, state.names);  // the only eval a case renames
    return state;
}

// The talk file's directory ends where slot 0's entry starts.
size_t DirectorySize(const Bytes& talk) {
    const size_t at = TalkSlotOffset(0);
    if (talk.size() < at + 4) return 0;
    return talk[at] | talk[at + 1] << 8 | talk[at + 2] << 16 | size_t{talk[at + 3]} << 24;
}

// Undo never rewrites the talk file: it keeps what the change wrote (an appended entry, a new
// slot) and only points the slots it had re-pointed back where they were.
Bytes TalkAfterUndo(const Bytes& before, const Bytes& done) {
    Bytes expected = done;
    const size_t directory = DirectorySize(before);
    if (directory == DirectorySize(done) && directory <= before.size())
        std::copy(before.begin(), before.begin() + static_cast<long>(directory), expected.begin());
    return expected;
}

// A change in an editor opened by the form's buttons: the eval editor of comm 0's slot 1 (eval
// 1 {0 -> 2, 1 -> 3, 2 -> 0}) or, by Info, the frag editor of fragment 0 {v0 -> 0, v1 -> 1}. The
// row is selected first (none when negative), the element dialog answered with numbers, then
// the control is clicked (a button) or typed into (the name); closeWith is OK (1) or Cancel (2).
struct EditorChange {
    bool evalEditor;
    int row;
    int control;
    std::vector<long long> numbers;
    int closeWith = 2;
};

void InEditor(UndoApp& a, const EditorChange& change) {
    if (!change.numbers.empty()) a.prompter.AnswerNumbers(change.numbers);
    ModalDriver driver;
    driver.WhenModalOpens([&](QWidget* d) {
        const int list =
            change.evalEditor ? CEvalInfoDlg::kListControl : CFragInfoDlg::kListControl;
        if (change.row >= 0)
            Control<QTreeWidget>(d, list)->topLevelItem(change.row)->setSelected(true);
        if (auto* edit = Control<QLineEdit>(d, change.control))
            edit->setText("callsign");
        else
            Click(d, change.control);
        Click(d, change.closeWith);
    });
    a.Click(change.evalEditor ? kEvalButtonBase + 1 : kInfo);
    QVERIFY(driver.Ran());
}

// A change made in an editor, or by act through the form's own buttons.
struct Case {
    QString undoText;
    EditorChange change;
    std::function<void(UndoApp&)> act = {};
};

std::vector<Case> Cases() {
    using E = CEvalInfoDlg;
    using F = CFragInfoDlg;
    return {
        {"Add alternative 7 to eval 1", {true, -1, E::kAddControl, {7, 4}}},
        {"Change alternative 0 of eval 1", {true, 0, E::kModifyControl, {5, 2}}},  // to the end
        {"Delete alternative 1 of eval 1", {true, 1, E::kDeleteControl, {}}},
        {"Rename eval 1", {true, -1, E::kNameControl, {}, 1}},
        {"Change vox index of voice 1 of fragment 0", {false, 1, F::kModifyControl, {4}}},
        {"Delete voice 0 of fragment 0", {false, 0, F::kDeleteControl, {}}},
        {"Add voice 3 to fragment 0", {}, [](UndoApp& a) { a.Add(false, 3); }},
        // Voice 0 is slot 0, which only a rewrite replaces.
        {"Replace fragment 0 voice 1", {}, [](UndoApp& a) { a.Replace(0, 1); }},
        {"Add fragment 5", {}, [](UndoApp& a) { a.Add(true, 2); }},
    };
}

}  // namespace

class UiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setApplicationName("voxbench"); }
    void cleanup() { RejectAllModals(); }

    // What the program's own resources do not hold: a quote inside a caption, a line ended by
    // "\r\n", a flag left unset; the frame's toolbar and prompts; dialog units with fixed base
    // units; the recent-file list.
    void resourceTextsDialogUnitsAndTheRecentFileList() {
        DialogTemplateSet set;
        std::string error;
        QVERIFY2(ParseDialogTemplates(AsBytes("dialog 7 100 50 \"Two \\\"words\\\"\"\r\n"
                                              "edit 1000 1 2 30 14 readonly,digits \"\"\n"
                                              "row button 1200 9 10 11 - \"+\" 20 40 60\n"),
                                      set, error),
                 error.c_str());
        const DialogTemplate& dialog = set.dialogs.at(0);
        QCOMPARE(dialog.caption, std::string("Two \"words\""));
        const ControlTemplate& edit = *dialog.Find(1000);
        QVERIFY(edit.kind == ControlKind::Edit && edit.readOnly && edit.digitsOnly);
        QVERIFY(!edit.multiLine && !edit.disabled);
        QCOMPARE(QPoint(dialog.Find(1202)->x, dialog.Find(1202)->y), QPoint(60, 9));
        QVERIFY(!dialog.Find(1203) && !set.Find(9));

        FrameResources frame;
        const std::string text =
            "popup \"&File\"\nitem 57601 \"&Open...\\tCtrl+O\"\nseparator\nrecent 57616\n"
            "accel 57601 \"Ctrl+O\"\ntoolbar 57601 - 32771\n"
            "prompt 32771 \"Play track on change\\nPlay on change\"\nprompt 5 \"Only a prompt\"\n";
        QVERIFY2(ParseFrameResources(AsBytes(text), frame, error), error.c_str());
        QCOMPARE(frame.menus[0].entries[0].text, std::string("&Open...\tCtrl+O"));
        QVERIFY(frame.menus[0].entries[2].kind == MenuEntry::Kind::RecentFiles);
        QCOMPARE(frame.toolbar, (std::vector<int>{57601, 0, 32771}));
        QCOMPARE(frame.StatusPrompt(32771) + "|" + frame.ToolTip(32771),
                 std::string("Play track on change|Play on change"));
        QCOMPARE(frame.ToolTip(5) + frame.StatusPrompt(6), std::string(""));

        const DialogUnits units(1.0);
        QCOMPARE(units.Size(508, 332), QSize(762, 540));
        QCOMPARE(DialogUnits(2.0).Size(508, 332), QSize(1524, 1079));
        // A "+" over a "-" button: 8 units high each, the second starting where the first ends.
        QCOMPARE(units.Rect(104, 34, 9, 8).bottom() + 1, units.Rect(104, 42, 9, 8).top());

        // The recent-file list drops duplicates and the oldest.
        RecentFileList list;
        for (int i = 0; i < 8; ++i) list.Add("/db/" + std::to_string(i) + ".vox");
        list.Add("/db/4.vox");
        list.Add("");
        QCOMPARE(list.Files(), (std::vector<std::string>{"/db/4.vox", "/db/7.vox", "/db/6.vox",
                                                         "/db/5.vox", "/db/3.vox", "/db/2.vox"}));
        MemoryProfile profile;
        list.Save(profile);
        list.Remove("/db/7.vox");
        list.Remove("/db/6.vox");
        list.Save(profile);  // a shorter list leaves no stale keys
        QCOMPARE(profile.GetString("Recent File List", "File5", "?"), std::string(""));
        RecentFileList loaded;
        loaded.Load(profile);
        QCOMPARE(loaded.Files(), list.Files());
    }

    // A refused text names its line and leaves nothing of what the tables held before.
    void badTemplatesAndFrameResourcesAreRefused() {
        const std::string d = "dialog 1 2 3 \"\"\n";
        const struct {
            bool frame;
            std::string text, expected;
        } refusals[] = {
            {false, "dialog 1 2 3 \"cap", "line 1: unterminated text"},
            {false, "edit 5 1 1 1 1 - \"\"", "line 1: control before the first dialog line"},
            {false, d + "edit 5 1 1 1 1 - \"\"\nbutton 5 1 1 1 1 - \"\"",
             "line 3: control id 5 used twice"},
            {false, d + "slider 5 1 1 1 1 - \"\"", "line 2: unknown control kind 'slider'"},
            {false, d + "edit 5 1 1 1 1 bold \"\"", "line 2: unknown flag 'bold'"},
            {false, d + "edit 5 1 1 1 1 - text", "line 2: text must be in double quotes"},
            {false, d + "edit 5 1 1",
             "line 2: a control line has kind, id, x, y, width, height, flags and text"},
            {false, d + "edit 5 -1 1 1 1 - \"\"", "line 2: bad dialog-unit value '-1'"},
            {false, d + "row edit 65535 1 1 1 - \"\" 1 2", "line 2: row ids run past 65535"},
            {false, "# nothing\n", "no dialog in the text"},
            {false, d + "dialog 1 2 3 \"\"", "line 2: dialog 1 defined twice"},
            {true, "item 1 \"x\"", "line 1: 'item' before the first popup"},
            {true, "toolbar 0", "line 1: bad command id '0'"},
            {true, "menu \"a\"", "line 1: unknown statement 'menu'"},
            {true, "accel 5 Ctrl+A",
             "line 1: 'accel' expects 2 value(s), the last in double quotes"},
        };
        for (const auto& [isFrame, text, expected] : refusals) {
            DialogTemplateSet set{{DialogTemplate{}}};
            FrameResources frame;
            frame.toolbar = {1};
            std::string error;
            QVERIFY(!(isFrame ? ParseFrameResources(AsBytes(text), frame, error)
                              : ParseDialogTemplates(AsBytes(text), set, error)));
            QCOMPARE(error, expected);
            QVERIFY(isFrame ? frame.toolbar.empty() : set.dialogs.empty());
        }
        DialogTemplateSet set;
        std::string error;
        QVERIFY(!LoadDialogTemplates("/nonexistent/form.dlg", set, error));
        QVERIFY(error.starts_with("/nonexistent/form.dlg: "));
    }

    // Without a file the form is untitled, every number is zero and the guarded buttons only
    // complain; saving asks for a name, which is only a title. No field keeps a value of the
    // document before a New or a failed open.
    void withoutAFileEveryNumberIsZeroAndGuardedButtonsOnlyComplain() {
        Program p(Program::Start::Empty);
        QCOMPARE(p.Title(), QString("Untitled - voxbench"));
        QCOMPARE(p.Frame().MessagePane()->text(), QString("Ready"));
        for (int id :
             {kFragment, kFragCount, kVoice, kCommIndex, kCommCount, kEvalCount, kCommVoice})
            QCOMPARE(p.Text(id), QString("0"));
        for (int id : {kVoiceCount, kVoxIndex, kVoxSize1}) QCOMPARE(p.Text(id), QString());
        const int guarded[] = {kFragPlus,         kFragMinus, kVoicePlus,     kVoiceMinus,
                               kCommPlus,         kCommMinus, kCommVoicePlus, kCommVoiceMinus,
                               kElemPlusBase,     kPlay,      kSave,          kSaveRange,
                               kReplace,          kAddNew,    kAddVoice,      kInfo,
                               kElemMinusBase + 3};
        for (int id : guarded) p.Click(id);
        p.Click(kPlaySequence);  // not guarded: there is simply no comm to play
        QCOMPARE(p.prompter.messages, std::vector<std::string>(17, "No Voxfile loaded!"));
        QVERIFY(p.prompter.fileRequests.empty());
        QCOMPARE(p.Text(kFragment), QString("0"));
        QVERIFY(p.PlayedSoFar().empty());
        p.prompter.AnswerFile(p.dir.File("named.vox"));
        p.Trigger(cmd::kFileSave);
        QCOMPARE(p.prompter.fileRequests.size(), size_t(1));
        QVERIFY(p.prompter.fileRequests[0].save);
        QCOMPARE(p.prompter.fileRequests[0].fileName, std::string("Untitled.vox"));
        QCOMPARE(p.Title(), QString("named.vox - voxbench"));
        QVERIFY(!FileExists(p.dir.File("named.vox")));

        QVERIFY(p.app->OpenDocumentFile(p.talkPath));
        p.Trigger(cmd::kFileNew);
        for (int id : kRecordFields) QCOMPARE(p.Text(id), QString());
        QCOMPARE(p.Text(kEvalButtonBase + 1), QString());
        QVERIFY(!p.app->OpenDocumentFile(p.dir.File("missing.vox")));
        for (int id : kRecordFields) QCOMPARE(p.Text(id), QString());
        QVERIFY(p.app->OpenDocumentFile(p.talkPath));
        QCOMPARE(p.Text(kCommName), QString("Greeting"));
    }

    // Opening fills both halves of the form and the slots; the full path goes to the status
    // bar, and the "Ready" pane hides rather than lie under it.
    void startingWithAPathFillsTheFormAndTheStepButtonsStayInsideTheTables() {
        Program p;
        QCOMPARE(p.Title(), QString("speech.vox - voxbench"));
        QCOMPARE(p.app->RecentFiles().Files(), std::vector<std::string>{p.talkPath});
        QCOMPARE(p.Frame().statusBar()->currentMessage(), QString::fromStdString(p.talkPath));
        QVERIFY(!p.Frame().MessagePane()->isVisibleTo(&p.Frame()));
        QVERIFY(p.prompter.messages.empty());
        VoxEntry entry;
        QVERIFY(p.Doc().GetVoxEntry(0, entry));
        QCOMPARE(p.Text(kVoxSize1), QString::number(entry.codedSize));
        // Slot 1 is eval 1: three alternatives, the first (fragment 2) chosen, no name stored.
        QCOMPARE(Texts(p, {kFragCount, kCommCount, kEvalCount, kVoiceCount, kVoxIndex, kVoxSize2,
                           kPhrase, kWarp, kPriority, kPosition, kBullseye, kElements, kEvals,
                           kCommName, kSequenceText, kNumberBase + 1, kElemIndBase + 1,
                           kFragBase + 1, kEvalButtonBase + 1}),
                 QString("5|5|3|2|0|640|f0v0|5|7|9|-3|3|1|Greeting| f2v0 f2v0 f3v0|3|0|2|1"));
        QVERIFY(p.Edit(kElemIndBase + 1)->isEnabled() &&
                p.Button(kEvalButtonBase + 1)->isEnabled());

        // Steps stay inside the tables; each step plays what it shows: comm 0 stops at fragment
        // 3, which has no voice 0; comm 4 is eval 2 (fragment 4) and fragment 0; comm 1 is
        // fragment 4. Comm 3's eval is missing from the table: its slot plays nothing.
        p.Click(kFragPlus);
        QCOMPARE(Texts(p, {kFragment, kVoiceCount, kVoxIndex}), QString("1|1|2"));
        p.Type(kFragment, "4");
        p.Click(kFragPlus);
        QCOMPARE(p.Text(kFragment), QString("4"));
        p.Click(kCommMinus);
        p.Type(kCommIndex, "4");
        p.Click(kCommPlus);
        QCOMPARE(p.Text(kCommIndex), QString("4"));
        p.Type(kCommIndex, "0");
        p.Click(kCommPlus);
        QCOMPARE(Texts(p, {kCommIndex, kElements, kCommName}), QString("1|1|Warning"));
        p.Type(kCommIndex, "0");
        p.Click(kCommVoiceMinus);
        QCOMPARE(p.Text(kCommVoice), QString("0"));
        p.Click(kCommVoicePlus);
        QCOMPARE(p.Text(kSequenceText), QString(" f2v1 f2v1 f3v1"));
        p.Click(kPlaySequence);
        p.Click(kElemPlusBase + 1);  // eval 1's next alternative: fragment 3
        QCOMPARE(Texts(p, {kElemIndBase + 1, kFragBase + 1}), QString("1|3"));
        QCOMPARE(p.Text(kSequenceText), QString(" f2v1 f3v1 f3v1"));
        QCOMPARE(p.Played(18), Entries({2, 6, 3, 3, 6, 0, 6, 3, 3, 4, 4, 5, 4, 4, 5, 4, 5, 5}));
        p.Type(kCommIndex, "3");
        QCOMPARE(Texts(p, {kNumberBase, kFragBase, kEvalButtonBase}), QString("0|-1|7"));
        QVERIFY(!p.Button(kEvalButtonBase)->isEnabled() && !p.Edit(kElemIndBase)->isEnabled());
        p.Click(kPlaySequence);
        p.Click(kElemPlusBase);
        QCOMPARE(p.PlayedSoFar().size(), size_t(18));
    }

    // A cancelled preview of an Add Voice writes nothing; a studio take replaces a voice after
    // both recordings were heard; a silent take added as new is shown, and the message says
    // what to listen for.
    void aTakeIsPreviewedBeforeItIsStored() {
        Program p;
        const auto before = ReadFileBytes(p.talkPath);
        // Half a second at 48 kHz, stereo: 4000 samples once converted, which the test sounds
        // count as "entry 23" (an entry k lasts k + 2 codec frames).
        const std::string take = p.dir.File("take.wav");
        WriteFileBytes(take, SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
                                            SineFrames(440, 0.18, 48000, 2, 0.5)));
        p.prompter.AnswerFile(take);
        p.prompter.AnswerPreview(false);
        p.Click(kAddVoice);
        QVERIFY(p.prompter.numberRequests.empty() && p.prompter.statuses.empty());
        QCOMPARE(ReadFileBytes(p.talkPath), before);
        QVERIFY(!p.Doc().IsModified());

        p.prompter.AnswerFile(take, /*option: normalize*/ true);
        p.prompter.AnswerPreview(true, {0, 1});
        p.Click(kReplace);
        QCOMPARE(p.prompter.messages.size(), size_t(1));  // the warning before the file dialog
        QCOMPARE(p.prompter.fileRequests.at(1).optionLabel, std::string("Normalize loudness"));
        const auto& preview = p.prompter.previews.at(1);
        QVERIFY2(preview.text.starts_with(
                     "Replace the recording of fragment 0 in voice 0 with take.wav?\n0.50 s, "),
                 preview.text.c_str());
        QCOMPARE(preview.labels, (std::vector<std::string>{"Play &New", "Play &Current"}));
        QCOMPARE(p.Played(2), Entries({23, 0}));
        QCOMPARE(p.prompter.statuses.size(), size_t(1));
        QVERIFY2(p.prompter.statuses[0].starts_with(
                     "converted from 48000 Hz stereo 16-bit; normalized to "),
                 p.prompter.statuses[0].c_str());
        // Before, the form kept showing the sizes of the recording it had replaced.
        VoxEntry entry;
        QVERIFY(p.Doc().GetVoxEntry(p.Text(kVoxIndex).toInt(), entry));
        QCOMPARE(Texts(p, {kVoxSize1, kVoxSize2}),
                 QString("%1|%2").arg(entry.codedSize).arg(entry.decodedSize));

        WriteFileBytes(p.dir.File("silent.flac"),
                       SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1,
                                      std::vector<float>(8000, 0)));
        p.prompter.AnswerFile(p.dir.File("silent.flac"));
        p.prompter.AnswerNumbers(std::vector<long long>{3});
        p.Click(kAddNew);
        QCOMPARE(Texts(p, {kFragCount, kFragment, kVoice, kVoiceCount, kVoxIndex, kVoxSize2}),
                 QString("6|5|3|1|8|16000"));
        QCOMPARE(p.prompter.messages.back(),
                 std::string("The new recording was stored; listen to it again:\n"
                             "silent throughout: no sample reaches -50 dBFS"));
        QCOMPARE(p.prompter.statuses.back(),
                 std::string("converted from 8000 Hz mono FLAC 16-bit"));
    }

    // A file cut short by another program fails every read from then on; the form says so once
    // per open database, however many refreshes meet the damage.
    void aDamagedTalkFileIsToldOncePerOpen() {
        Program p;
        p.View().SetAutoPlay(false);
        const std::string told = p.talkPath +
                                 "\nThe file was changed by another program and can no longer be "
                                 "read. Close the database and open it again.";
        // What another program does: cut the file to nothing through a descriptor of its own.
        const auto cut = [&] { QCOMPARE(truncate(p.talkPath.c_str(), 0), 0); };
        p.Click(kFragPlus);
        QVERIFY(p.prompter.messages.empty());
        cut();
        p.Click(kFragPlus);
        p.Click(kPlay);
        p.Click(kFragMinus);
        QCOMPARE(p.prompter.messages, std::vector<std::string>{told});

        // Opened again, the database is whole; cut again, it is news again.
        TestDatabase::Write(p.dir.Path());
        QVERIFY(p.Doc().OnOpenDocument(p.talkPath));
        p.Click(kFragPlus);
        QCOMPARE(p.prompter.messages.size(), size_t(1));
        cut();
        p.Click(kFragMinus);  // fragment 1 has a recording in voice 0: its read meets the cut
        QCOMPARE(p.prompter.messages, (std::vector<std::string>{told, told}));

        // A directory found damaged on opening is told once, and the database is opened for
        // looking only.
        TestDatabase::Write(p.dir.Path());
        std::filesystem::resize_file(p.talkPath, 100);
        QVERIFY(p.app->OpenDocumentFile(p.talkPath));
        QCOMPARE(p.prompter.messages.size(), size_t(3));
        const std::string& damage = p.prompter.messages[2];
        QVERIFY2(damage.find("speech.vox: slot 2 (byte 20): points outside the file") !=
                         std::string::npos &&
                     damage.find("read-only") != std::string::npos,
                 damage.c_str());
        QCOMPARE(p.Text(kFragCount), QString("5"));  // the tables can still be looked at
        QVERIFY(p.Doc().RemoveFragElement(0, 1));
        p.Trigger(cmd::kFileSave);
        QCOMPARE(p.prompter.messages.size(), size_t(4));
        QVERIFY(p.Doc().IsModified());
        QCOMPARE(std::filesystem::file_size(p.talkPath), uintmax_t(100));
    }

    // Every tint covers exactly its slot's phrase (its blank when the phrase is empty).
    void tintsCoverEachSlotsPhraseThroughRefreshesRebuildsAndWideCharacters() {
        Program p;
        QCOMPARE(Tints(p), QStringList({"1:f2v0", "6:f2v0", "11:f3v0"}));
        p.Click(kElemPlusBase + 1);  // eval 1 now chooses fragment 3
        QCOMPARE(Tints(p), QStringList({"1:f2v0", "6:f3v0", "11:f3v0"}));
        p.Type(kCommVoice, "5");  // no phrases in voice 5: three blanks, each still marked
        QCOMPARE(p.Text(kSequenceText), QString("   "));
        QCOMPARE(Tints(p), QStringList({"0: ", "1: ", "2: "}));
        p.Type(kCommVoice, "0");
        p.Type(kCommIndex, "2");  // twenty entries, fifteen shown
        QCOMPARE(Tints(p).size(), 15);
        QCOMPARE(Tints(p).back(), QString("71:f4v0"));
        // Phrases are counted in the field's own characters, not in the bytes of the file.
        std::ofstream(p.dir.File("wide.csv"), std::ios::binary)
            << "Fragment,Notes,Voice 0\n2,x,gr\xC3\xBC\xC3\x9F dich "
               "\xF0\x9F\x98\x80\n3,x,\xE2\x82\xAC\n";
        p.Doc().LoadPhraseFile(p.dir.File("wide.csv"));
        p.View().RefreshComm(0);
        const QString greeting = QString::fromUtf8("gr\xC3\xBC\xC3\x9F dich \xF0\x9F\x98\x80");
        QCOMPARE(p.Text(kSequenceText), " " + greeting + " " + greeting + " \u20AC");
        QCOMPARE(Tints(p), QStringList({"1:" + greeting, "14:" + greeting, "27:\u20AC"}));
    }

    void aPathThatCannotBeOpenedEndsStartUpWithTheReason() {
        Program p(Program::Start::Later);
        std::filesystem::remove(p.dir.File("fragFile.bin"));
        QVERIFY(!p.app->InitInstance({QString::fromStdString(p.talkPath)}));
        QVERIFY(!p.Frame().isVisible());
        QCOMPARE(p.prompter.messages.size(), size_t(1));
        const std::string& message = p.prompter.messages[0];
        QVERIFY2(message.find(p.talkPath) != std::string::npos &&
                     message.find("fragFile.bin") != std::string::npos,
                 message.c_str());
    }

    // A modified document is offered for saving first; Cancel at the question or in the
    // table's Save As, or a table that cannot be written, cancels the whole action.
    void aModifiedDocumentIsOfferedForSavingFirst() {
        const QString kept = "speech.vox* - voxbench";
        const struct {
            int command;
            Answer answer;
            std::string saveAs;  // "-": no dialog, "": Cancel in it
            QString title;
            bool visible;
        } cases[] = {{cmd::kFileNew, Answer::Cancel, "-", kept, true},
                     {cmd::kFileNew, Answer::No, "-", "Untitled - voxbench", true},
                     {cmd::kFileOpen, Answer::Yes, "", kept, true},
                     {cmd::kAppExit, Answer::Yes, "", kept, true},
                     {cmd::kFileNew, Answer::Yes, "no-such-folder/fragFile.bin", kept, true},
                     {cmd::kAppExit, Answer::Yes, "fragFile.bin", "speech.vox - voxbench", false}};
        for (const auto& c : cases) {
            Program p;
            QVERIFY(p.Doc().RemoveFragElement(0, 1));
            p.Doc().UpdateAllViews();
            if (c.command == cmd::kFileOpen) p.prompter.AnswerFile(p.talkPath);
            p.prompter.AnswerYesNoCancel(c.answer);
            if (c.saveAs != "-")
                p.prompter.AnswerFile(c.saveAs.empty() ? std::nullopt
                                                       : std::optional(p.dir.File(c.saveAs)));
            p.Trigger(c.command);
            QVERIFY(p.prompter.ScriptUsedUp());
            QCOMPARE(p.prompter.questions, std::vector<std::string>{"Save changes to speech.vox?"});
            QCOMPARE(p.Title(), c.title);
            QCOMPARE(p.Frame().isVisible(), c.visible);
            QCOMPARE(p.prompter.messages.size(), size_t(c.saveAs.starts_with("no-such") ? 1 : 0));
            // The table's dialog opens beside the talk file, not in the working folder.
            if (c.saveAs != "-") QCOMPARE(p.prompter.fileRequests.back().folder, p.dir.Path());
        }
    }

    void waveAndListDialogsOpenWhereTheirKindWasLastUsed() {
        Program p;
        std::filesystem::create_directory(p.dir.File("takes"));
        const std::string wave = p.dir.File("takes/one.wav");
        p.prompter.AnswerFile(wave);
        p.Type(kFragment, "1");
        p.Click(kSave);
        std::vector<uint8_t> pcm;
        QVERIFY(ReadWave(wave, pcm));
        QCOMPARE(pcm.size(), size_t(TestDatabase::EntryBytes(2)));  // the shown fragment's voice
        p.prompter.AnswerFile(std::nullopt);
        p.Click(kSave);
        p.prompter.AnswerFile(std::nullopt);
        p.Click(kSaveRange);
        const auto& requests = p.prompter.fileRequests;
        QCOMPARE(requests.size(), size_t(3));
        QCOMPARE(requests[0].folder, std::string());
        QCOMPARE(requests[1].folder, p.dir.File("takes"));
        QCOMPARE(requests[2].folder, std::string());  // the export list has a folder of its own

        // The export's progress is gone before the count is shown.
        p.prompter.AnswerFile(p.dir.File("Filenames.csv"));
        p.prompter.AnswerNumbers(std::vector<long long>{0, 4});
        size_t messagesWhenClosed = 99;
        SaveFragmentRange(p.Doc(), {}, [&] { messagesWhenClosed = p.prompter.messages.size(); });
        QCOMPARE(messagesWhenClosed, size_t(0));
        QCOMPARE(p.prompter.messages, std::vector<std::string>{"8 .wav files saved"});
    }

    // The sound device opens on the player's thread after Play returned, so its failure is
    // told later.
    void aButtonThatCannotActSaysWhyInTheStatusBar() {
        const struct {
            int button;
            QString fragment, voice;
            std::string reason;
        } cases[] = {{kPlay, "999", "0", "Fragment 999 does not exist"},
                     {kPlay, "3", "12", "Fragment 3 has no voice 12"},
                     {kSave, "3", "12", "Fragment 3 has no voice 12"},
                     {kInfo, "999", "0", "Fragment 999 does not exist"}};
        Program p;
        p.View().SetAutoPlay(false);
        for (const auto& c : cases) {
            p.Type(kFragment, c.fragment);
            p.Type(kVoice, c.voice);
            p.prompter.statuses.clear();
            p.Click(c.button);
            QCOMPARE(p.prompter.statuses, std::vector<std::string>{c.reason});
        }
        QVERIFY(p.prompter.fileRequests.empty());
        QVERIFY(p.PlayedSoFar().empty());
        p.sound->FailNext(NullSoundStep::Open, 1, kSoundNoDevice);
        p.Type(kFragment, "0");
        p.Type(kVoice, "0");
        p.prompter.statuses.clear();
        p.Click(kPlay);
        const std::vector<std::string> told{"No sound device: no output device could be made"};
        QTRY_COMPARE(p.prompter.statuses, told);
    }

    void ctrlATogglesAutoPlayAltVOpensTheViewMenuAndThePhraseSearchFindsAsYouType() {
        Program p;
        QAction* autoPlay = p.Frame().Action(cmd::kAutoPlay);
        autoPlay->trigger();
        QVERIFY(!p.View().AutoPlay() && !autoPlay->isChecked());
        p.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.Frame()));
        p.Edit(kFragment)->setFocus();
        QTest::keyClick(p.Edit(kFragment), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(p.View().AutoPlay() && autoPlay->isChecked());
        // Alt+V is the menu's, not the Add Voice button's.
        QTest::keyClick(&p.Frame(), Qt::Key_V, Qt::AltModifier);
        QMenu* view = nullptr;
        for (QAction* menu : p.Frame().menuBar()->actions())
            if (menu->text() == "&View") view = menu->menu();
        QVERIFY(view);
        QTRY_VERIFY(view->isVisible());
        view->hide();
        QCOMPARE(p.Text(kAddVoice), QString("Add &Voice"));
        QVERIFY(p.prompter.fileRequests.empty());

        // The phrase search finds as you type; Enter shows and plays the match.
        p.Button(kSearchPhrase)->click();
        PhraseSearchDock* dock = p.Frame().PhraseSearch();
        QVERIFY(dock->isVisible());
        const auto search = [&](const char* text) {
            dock->Field()->clear();
            QTest::keyClicks(dock->Field(), text);
            return dock->Results()->model();
        };
        QCOMPARE(search("F2V")->rowCount(), 2);
        QCOMPARE(search("F2V")->index(1, PhraseMatchModel::kText).data().toString(), "f2v1");
        QCOMPARE(search("greet")->rowCount(), 1);
        QCOMPARE(search("greet")->index(0, PhraseMatchModel::kKind).data().toString(), "Comm");
        search("f2v1");
        QTest::keyClick(dock->Field(), Qt::Key_Return);
        QCOMPARE(p.Text(kFragment) + p.Text(kVoice), QString("21"));
        QCOMPARE(p.Played(1), std::vector<int>{4});
    }

    void everyCommandUndoesAndRedoesByteForByteAcrossSaves() {
        for (const Case& c : Cases()) {
            UndoApp a;
            QAction* undo = a.Frame().Action(cmd::kEditUndo);
            QAction* redo = a.Frame().Action(cmd::kEditRedo);
            const State before = Capture(a);
            c.act ? c.act(a) : InEditor(a, c.change);
            const QByteArray name = c.undoText.toUtf8();
            QCOMPARE(undo->text(), "&Undo " + c.undoText);
            QVERIFY2(a.Save(), name.constData());
            const State done = Capture(a);
            QVERIFY2(!(done == before), name.constData());

            undo->trigger();
            QCOMPARE(redo->text(), "&Redo " + c.undoText);
            QVERIFY2(a.Save(), name.constData());
            State expected = before;
            expected.talk = TalkAfterUndo(before.talk, done.talk);
            expected.history = done.history;  // an undo writes no history line
            QVERIFY2(Capture(a) == expected, name.constData());

            redo->trigger();
            QVERIFY2(a.Save(), name.constData());
            QVERIFY2(Capture(a) == done, name.constData());
            QCOMPARE(a.prompter.unexpectedQuestions, 0);
        }
    }

    void theModifiedStateFollowsTheStacksCleanStateUntilCompactEmptiesIt() {
        UndoApp a;
        QUndoStack& stack = a.app->UndoStack();
        InEditor(a, {false, -1, CFragInfoDlg::kAddControl, {5, 3}});
        QCOMPARE(a.Title(), QString("speech.vox* - voxbench"));
        stack.undo();
        QCOMPARE(a.Title(), QString("speech.vox - voxbench"));  // back where the files are
        stack.redo();
        QVERIFY(a.Save());
        QCOMPARE(a.Title(), QString("speech.vox - voxbench"));
        stack.undo();
        QCOMPARE(a.Title(), QString("speech.vox* - voxbench"));  // undo after a save
        stack.redo();
        QVERIFY(!a.Doc().IsModified());

        // A rename is kept in the settings, not the tables: it leaves a saved document saved.
        InEditor(a, {true, -1, CEvalInfoDlg::kNameControl, {}, 1});
        QCOMPARE(stack.count(), 2);
        QVERIFY(!a.Doc().IsModified());

        // One table saved while the other stays changed: no state of the stack matches the
        // files any more, so undoing both still leaves the document modified until a Save.
        InEditor(a, {true, 0, CEvalInfoDlg::kDeleteControl, {}});
        InEditor(a, {false, 0, CFragInfoDlg::kModifyControl, {4}});
        a.prompter.AnswerFile(a.dir.File("fragFile.bin"));
        a.Trigger(cmd::kSaveFragFile);
        stack.undo();
        stack.undo();
        QVERIFY(a.Doc().IsModified());
        QVERIFY(a.Save());
        QVERIFY(!a.Doc().IsModified());

        // Compact drops bytes the stack needs: it empties the stack, says so, and leaves an
        // unsaved edit unsaved.
        InEditor(a, {false, -1, CFragInfoDlg::kAddControl, {6, 3}});
        a.Replace(0, 1);
        std::ofstream(a.talkPath, std::ios::app | std::ios::binary) << std::string(64, 'x');
        const size_t sizeBefore = ReadFileBytes(a.talkPath).size();
        a.prompter.messages.clear();
        a.Trigger(cmd::kCompactTalkFile);
        QCOMPARE(a.prompter.messages.size(), size_t(1));
        QVERIFY2(a.prompter.messages[0].ends_with(
                     "\nUndo history cleared: compact dropped the bytes it needs."),
                 a.prompter.messages[0].c_str());
        QVERIFY(ReadFileBytes(a.talkPath).size() < sizeBefore);
        QCOMPARE(stack.count(), 0);
        QVERIFY(!a.Frame().Action(cmd::kEditUndo)->isEnabled());
        QVERIFY(a.Doc().IsModified());
    }

    // Slot 0 marks the directory's end: its replace, undo and redo are rewrites that move the
    // other entries, and a command from before them still finds its own.
    void theFirstRecordingStepsBackAndForthAndOlderCommandsFollowTheirEntries() {
        UndoApp a;
        a.View().SetAutoPlay(false);
        std::vector<Bytes> voice1{a.Entry(0, 1)};
        a.Replace(0, 1);
        voice1.push_back(a.Entry(0, 1));
        std::vector<Bytes> first{a.Entry(0, 0)};
        for (const double hz : {300.0, 600.0}) {
            a.Replace(0, 0, hz);
            first.push_back(a.Entry(0, 0));
        }
        QCOMPARE(a.Frame().Action(cmd::kEditUndo)->text(),
                 QString("&Undo Replace fragment 0 voice 0"));
        const size_t size = ReadFileBytes(a.talkPath).size();
        const Bytes history = ReadFileBytes(a.talkPath + ".history");
        QUndoStack& stack = a.app->UndoStack();
        a.prompter.messages.clear();
        const auto expect = [&](size_t firstTake, size_t voice1Take) {
            QVERIFY(a.Entry(0, 0) == first[firstTake]);
            QVERIFY(a.Entry(0, 1) == voice1[voice1Take]);
            QCOMPARE(ReadFileBytes(a.talkPath).size(), size);  // moved, never grown
        };
        for (const auto& [older, voice1Take] : {std::pair<size_t, size_t>{1, 1}, {0, 1}, {0, 0}}) {
            stack.undo();
            expect(older, voice1Take);
        }
        for (int step = 0; step < 3; ++step) stack.redo();
        expect(2, 1);
        QCOMPARE(a.prompter.messages, std::vector<std::string>{});
        QCOMPARE(ReadFileBytes(a.talkPath + ".history").size(), history.size());  // no new line

        // The history lists the three takes of slot 0 at the offsets they moved to: reverting
        // to the first puts its bytes back, undoably, and writes one line.
        CHistoryDlg dialog(a.Doc(), 0, 0, &stack, nullptr);
        dialog.show();
        const QAbstractItemModel* model = dialog.Table()->model();
        const auto current = [model] {
            QStringList cells;
            for (int row = 0; row < model->rowCount(); ++row)
                cells << model->index(row, CHistoryDlg::kCurrentColumn).data().toString();
            return cells;
        };
        QCOMPARE(current(), QStringList({"", "", "current"}));
        QCOMPARE(model->index(1, CHistoryDlg::kSourceColumn).data().toString(), "take.wav");
        dialog.Table()->selectRow(0);
        dialog.PlayButton()->click();
        QVERIFY(a.sound->WaitForCalls(NullSoundStep::Play, 1, std::chrono::seconds(10)));
        dialog.RevertButton()->click();
        QCOMPARE(current(), QStringList({"current", "", ""}));
        QVERIFY(a.Entry(0, 0) == first[0]);
        QCOMPARE(a.Frame().Action(cmd::kEditUndo)->text(),
                 QString("&Undo Revert fragment 0 voice 0"));
        stack.undo();
        expect(2, 1);
        stack.redo();
        QVERIFY(a.Entry(0, 0) == first[0]);
        QCOMPARE(ReadTalkHistory(a.talkPath, 0, 0).lines.size(), size_t(3));
        QVERIFY(!a.Doc().IsModified());  // every step was written at once
    }
};

}  // namespace vox::test

QTEST_MAIN(vox::test::UiTest)
#include "tst_ui.moc"

// Edit > Undo and Redo over every change a person makes: each command done, saved, undone,
// saved, redone and saved, with the files compared byte for byte; the modified state following
// the stack's clean state; the takes of a recording and a revert to one of them.
#include <QAction>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <fstream>
#include <functional>

#include "audio/player/nullsounddevice.h"
#include "talkdata/talklayout.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "tests/support/soundfiles.h"
#include "tests/ui/formfixture.h"
#include "ui/commandids.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/chistorydlg.h"
#include "ui/formids.h"
#include "workbench/takehistory.h"

namespace vox::test {
namespace {

// The program on the test database, with the real editors and the undo stack.
struct UndoApp : Program {
    UndoApp() : Program(Start::Open, true) {}
    QAction* Action(int id) { return Frame().Action(id); }
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
    // Replace through the form, for the fragment and voice it shows.
    void Replace(double hz = 440) {
        prompter.AnswerFile(TakeFile(hz));
        prompter.AnswerPreview(true);
        View().ReplaceFromWave();
    }
    uint32_t Slot(int fragment, int voice) {
        uint32_t offset = 0;
        return Doc().GetSlotOffset(fragment, voice, offset) ? offset : 0;
    }
    // The entry the voice's slot points at, header and coded bytes, as on disk.
    Bytes Entry(int fragment, int voice) {
        const Bytes talk = ReadFileBytes(talkPath);
        const size_t at = Slot(fragment, voice);
        if (at == 0 || at + 8 > talk.size()) return {};
        const size_t coded = talk[at + 4] | talk[at + 5] << 8 | size_t{talk[at + 6]} << 16;
        return Bytes(talk.begin() + static_cast<long>(at),
                     talk.begin() + static_cast<long>(std::min(talk.size(), at + 8 + coded)));
    }
};

// What a change can reach: the three tables and the talk file on disk, the eval names.
struct State {
    Bytes frags, evals, comms, talk, history;
    std::string names;
    bool operator==(const State&) const = default;
};

State Capture(UndoApp& a) {
    State state{ReadFileBytes(a.dir.File("fragFile.bin")),
                ReadFileBytes(a.dir.File("evalFile.bin")),
                ReadFileBytes(a.dir.File("commFile.bin")),
                ReadFileBytes(a.talkPath),
                {},
                {}};
    if (FileExists(a.talkPath + ".history")) state.history = ReadFileBytes(a.talkPath + ".history");
    for (int eval = 0; eval < a.Doc().GetEvalCount(); ++eval) {
        std::string name;
        a.Doc().GetEvalName(eval, name);
        state.names += name + ";";
    }
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
    a.Click(change.evalEditor ? form::kEvalButtonBase + 1 : form::kInfo);
    QVERIFY(driver.Ran());
}

struct Case {
    QString undoText;
    std::function<void(UndoApp&)> act;
};

Case Editor(const QString& undoText, const EditorChange& change) {
    return {undoText, [change](UndoApp& a) { InEditor(a, change); }};
}

std::vector<Case> Cases() {
    using E = CEvalInfoDlg;
    using F = CFragInfoDlg;
    return {
        Editor("Add alternative 7 to eval 1", {true, -1, E::kAddControl, {7, 4}}),
        Editor("Change alternative 0 of eval 1",
               {true, 0, E::kModifyControl, {5, 2}}),  // to the end
        Editor("Delete alternative 1 of eval 1", {true, 1, E::kDeleteControl, {}}),
        Editor("Rename eval 1", {true, -1, E::kNameControl, {}, 1}),
        Editor("Add voice 5 to fragment 0", {false, -1, F::kAddControl, {5, 3}}),
        Editor("Change vox index of voice 1 of fragment 0", {false, 1, F::kModifyControl, {4}}),
        Editor("Delete voice 0 of fragment 0", {false, 0, F::kDeleteControl, {}}),
        {"Add voice 3 to fragment 0",
         [](UndoApp& a) {
             a.prompter.AnswerFile(a.TakeFile());
             a.prompter.AnswerPreview(true);
             a.prompter.AnswerNumbers(std::vector<long long>{3});
             a.View().AddVoiceFromWave();
         }},
        {"Replace fragment 0 voice 1",
         [](UndoApp& a) {
             a.View().GoToPhrase(0, 1);  // voice 0 is slot 0, which only a rewrite replaces
             a.Replace();
         }},
        {"Add fragment 5",
         [](UndoApp& a) {
             a.prompter.AnswerFile(a.TakeFile());
             a.prompter.AnswerNumbers(std::vector<long long>{2});
             a.View().AddNewFromWave();
         }},
    };
}

}  // namespace

class UndoTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { RejectAllModals(); }

    void everyCommandUndoesAndRedoesByteForByteAcrossSaves() {
        for (const Case& c : Cases()) {
            UndoApp a;
            QAction* undo = a.Action(cmd::kEditUndo);
            QAction* redo = a.Action(cmd::kEditRedo);
            const State before = Capture(a);
            c.act(a);
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
        a.View().GoToPhrase(0, 1);
        a.Replace();
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
        QVERIFY(!a.Action(cmd::kEditUndo)->isEnabled());
        QVERIFY(a.Doc().IsModified());
    }

    // Slot 0 marks the directory's end: its replace, undo and redo are rewrites that move the
    // other entries, and a command from before them still finds its own.
    void theFirstRecordingStepsBackAndForthAndOlderCommandsFollowTheirEntries() {
        UndoApp a;
        a.View().SetAutoPlay(false);
        a.View().GoToPhrase(0, 1);
        std::vector<Bytes> voice1{a.Entry(0, 1)};
        a.Replace();
        voice1.push_back(a.Entry(0, 1));
        a.View().GoToPhrase(0, 0);
        std::vector<Bytes> first{a.Entry(0, 0)};
        for (const double hz : {300.0, 600.0}) {
            a.Replace(hz);
            first.push_back(a.Entry(0, 0));
        }
        QCOMPARE(a.Action(cmd::kEditUndo)->text(), QString("&Undo Replace fragment 0 voice 0"));
        const size_t size = ReadFileBytes(a.talkPath).size();
        const Bytes history = ReadFileBytes(a.talkPath + ".history");
        QUndoStack& stack = a.app->UndoStack();
        a.prompter.messages.clear();
        const auto expect = [&](size_t firstTake, size_t voice1Take) {
            QVERIFY(a.Entry(0, 0) == first[firstTake]);
            QVERIFY(a.Entry(0, 1) == voice1[voice1Take]);
            QCOMPARE(ReadFileBytes(a.talkPath).size(), size);  // moved, never grown
        };
        stack.undo();
        expect(1, 1);
        stack.undo();
        expect(0, 1);
        stack.undo();
        expect(0, 0);
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
        QCOMPARE(a.Action(cmd::kEditUndo)->text(), QString("&Undo Revert fragment 0 voice 0"));
        stack.undo();
        expect(2, 1);
        stack.redo();
        QVERIFY(a.Entry(0, 0) == first[0]);
        QCOMPARE(ReadTalkHistory(a.talkPath, 0, 0).lines.size(), size_t(3));
        QVERIFY(!a.Doc().IsModified());  // every step was written at once
    }
};

RegisterTest<UndoTest> registerUndo;

}  // namespace vox::test

#include "tst_undo.moc"

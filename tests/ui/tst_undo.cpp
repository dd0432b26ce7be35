// Edit > Undo and Redo over every change a person makes: each command done, saved, undone,
// saved, redone and saved, with the files compared byte for byte; the modified state following
// the stack's clean state.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <fstream>
#include <functional>

#include "audio/player/nullsounddevice.h"
#include "talkdata/talklayout.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/support/soundfiles.h"
#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/cmainframe.h"
#include "ui/commandids.h"
#include "ui/cvoxbenchapp.h"
#include "ui/cvoxbenchview.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/chistorydlg.h"
#include "ui/templates/dialogbuilder.h"
#include "workbench/takehistory.h"

using namespace vox;
using vox::test::Bytes;
using vox::test::ModalDriver;
using vox::test::ReadFileBytes;
using vox::test::ScriptedPrompter;
using vox::test::TempDir;
using vox::test::TestDatabase;

namespace {

// The program on the test database, with the real editors and the undo stack.
struct UndoApp : vox::test::AppFixture {
    UndoApp() {
        Build(true);
        app->InitInstance({QString::fromStdString(talkPath)});
    }
    CVoxbenchDoc& Doc() { return app->Document(); }
    CVoxbenchView& View() { return *app->View(); }
    QAction* Action(int id) { return app->MainFrame()->Action(id); }
    // File > Save, answering the dialog of each table it asks for.
    bool Save() {
        if (Doc().GetFragTable().IsModified()) prompter.AnswerFile(dir.File("fragFile.bin"));
        if (Doc().GetEvalTable().IsModified()) prompter.AnswerFile(dir.File("evalFile.bin"));
        return app->OnFileSave();
    }
    std::string TakeFile(double hz = 440) {
        const std::string path = dir.File("take.wav");
        vox::test::WriteFileBytes(
            path, vox::test::SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1,
                                            vox::test::SineFrames(hz, 0.2, 8000, 1, 0.3)));
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
    if (vox::test::FileExists(a.talkPath + ".history"))
        state.history = ReadFileBytes(a.talkPath + ".history");
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

template <typename T>
T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

void Click(QWidget* dialog, int id) {
    QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton);
}

// Opens an editor from the form and acts in it; closes it with OK (1) or Cancel (2).
void InEditor(UndoApp& a, bool evalEditor, const std::function<void(QWidget*)>& act,
              int closeWith = 2) {
    ModalDriver driver;
    driver.WhenModalOpens([&](QWidget* modal) {
        act(modal);
        Click(modal, closeWith);
    });
    if (evalEditor)
        a.View().OnSlotEvalButton(1);  // comm 0's slot 1: eval 1 {0 -> 2, 1 -> 3, 2 -> 0}
    else
        a.View().OnFragInfo();  // fragment 0 {voice 0 -> 0, voice 1 -> 1}
    QVERIFY(driver.Ran());
}

void ClickOnRow(QWidget* dialog, int listId, int button, int row) {
    Control<QTreeWidget>(dialog, listId)->topLevelItem(row)->setSelected(true);
    Click(dialog, button);
}

struct Case {
    const char* name;
    QString undoText;
    std::function<void(UndoApp&)> act;
};

std::vector<Case> Cases() {
    using E = CEvalInfoDlg;
    using F = CFragInfoDlg;
    return {
        {"eval add", "Add alternative 7 to eval 1",
         [](UndoApp& a) {
             a.prompter.AnswerNumbers(std::vector<long long>{7, 4});
             InEditor(a, true, [](QWidget* d) { Click(d, E::kAddControl); });
         }},
        {"eval modify", "Change alternative 0 of eval 1",
         [](UndoApp& a) {
             a.prompter.AnswerNumbers(std::vector<long long>{5, 2});  // moves to the end
             InEditor(a, true,
                      [](QWidget* d) { ClickOnRow(d, E::kListControl, E::kModifyControl, 0); });
         }},
        {"eval delete", "Delete alternative 1 of eval 1",
         [](UndoApp& a) {
             InEditor(a, true,
                      [](QWidget* d) { ClickOnRow(d, E::kListControl, E::kDeleteControl, 1); });
         }},
        {"eval rename", "Rename eval 1",
         [](UndoApp& a) {
             InEditor(
                 a, true,
                 [](QWidget* d) { Control<QLineEdit>(d, E::kNameControl)->setText("callsign"); },
                 1);
         }},
        {"frag add", "Add voice 5 to fragment 0",
         [](UndoApp& a) {
             a.prompter.AnswerNumbers(std::vector<long long>{5, 3});
             InEditor(a, false, [](QWidget* d) { Click(d, F::kAddControl); });
         }},
        {"frag modify", "Change vox index of voice 1 of fragment 0",
         [](UndoApp& a) {
             a.prompter.AnswerNumbers(std::vector<long long>{4});
             InEditor(a, false,
                      [](QWidget* d) { ClickOnRow(d, F::kListControl, F::kModifyControl, 1); });
         }},
        {"frag delete", "Delete voice 0 of fragment 0",
         [](UndoApp& a) {
             InEditor(a, false,
                      [](QWidget* d) { ClickOnRow(d, F::kListControl, F::kDeleteControl, 0); });
         }},
        {"add voice", "Add voice 3 to fragment 0",
         [](UndoApp& a) {
             a.prompter.AnswerFile(a.TakeFile());
             a.prompter.AnswerPreview(true);
             a.prompter.AnswerNumbers(std::vector<long long>{3});
             a.View().AddVoiceFromWave();
         }},
        {"replace", "Replace fragment 0 voice 1",
         [](UndoApp& a) {
             a.View().GoToPhrase(0, 1);  // voice 0 is slot 0, which only a rewrite replaces
             a.Replace();
         }},
        {"add new", "Add fragment 5",
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
    void cleanup() { vox::test::RejectAllModals(); }

    void everyCommandUndoesAndRedoesByteForByteAcrossSaves() {
        for (const Case& c : Cases()) {
            UndoApp a;
            QAction* undo = a.Action(cmd::kEditUndo);
            QAction* redo = a.Action(cmd::kEditRedo);
            const State before = Capture(a);
            c.act(a);
            QVERIFY2(undo->isEnabled(), c.name);
            QCOMPARE(undo->text(), "&Undo " + c.undoText);
            QVERIFY2(a.Save(), c.name);
            const State done = Capture(a);
            QVERIFY2(!(done == before), c.name);

            undo->trigger();
            QCOMPARE(redo->text(), "&Redo " + c.undoText);
            QVERIFY2(a.Save(), c.name);
            State expected = before;
            expected.talk = TalkAfterUndo(before.talk, done.talk);
            expected.history = done.history;  // an undo writes no history line
            QVERIFY2(Capture(a) == expected, c.name);

            redo->trigger();
            QVERIFY2(a.Save(), c.name);
            QVERIFY2(Capture(a) == done, c.name);
            QCOMPARE(a.prompter.unexpectedQuestions, 0);
        }
    }

    void theModifiedStateFollowsTheStacksCleanState() {
        UndoApp a;
        QUndoStack& stack = a.app->UndoStack();
        a.prompter.AnswerNumbers(std::vector<long long>{5, 3});
        const auto title = [&] { return a.app->MainFrame()->windowTitle(); };
        InEditor(a, false, [](QWidget* d) { Click(d, CFragInfoDlg::kAddControl); });
        QVERIFY(a.Doc().IsModified());
        QCOMPARE(title(), QString("speech.vox* - voxbench"));
        stack.undo();
        QVERIFY(!a.Doc().IsModified());  // back where the files are: no "Save changes?"
        QCOMPARE(title(), QString("speech.vox - voxbench"));
        stack.redo();
        QVERIFY(a.Save());
        QVERIFY(!a.Doc().IsModified());
        QCOMPARE(title(), QString("speech.vox - voxbench"));
        stack.undo();
        QVERIFY(a.Doc().IsModified());  // undo after a save
        QCOMPARE(title(), QString("speech.vox* - voxbench"));
        stack.redo();
        QVERIFY(!a.Doc().IsModified());

        // A rename is kept in the settings, not the tables: it leaves a saved document saved.
        InEditor(
            a, true,
            [](QWidget* d) { Control<QLineEdit>(d, CEvalInfoDlg::kNameControl)->setText("x"); }, 1);
        QCOMPARE(stack.count(), 2);
        QVERIFY(!a.Doc().IsModified());

        // One table saved while the other stays changed: no state of the stack matches the
        // files any more, so undoing both still leaves the document modified until a Save.
        InEditor(a, true, [](QWidget* d) {
            ClickOnRow(d, CEvalInfoDlg::kListControl, CEvalInfoDlg::kDeleteControl, 0);
        });
        a.prompter.AnswerNumbers(std::vector<long long>{4});
        InEditor(a, false, [](QWidget* d) {
            ClickOnRow(d, CFragInfoDlg::kListControl, CFragInfoDlg::kModifyControl, 0);
        });
        a.prompter.AnswerFile(a.dir.File("fragFile.bin"));
        a.Action(cmd::kSaveFragFile)->trigger();
        QVERIFY(a.Doc().IsModified());
        stack.undo();
        stack.undo();
        QVERIFY(a.Doc().IsModified());
        a.prompter.AnswerYesNoCancel(Answer::Cancel);
        a.Action(cmd::kFileNew)->trigger();
        QCOMPARE(a.prompter.questions.back(), std::string("Save changes to speech.vox?"));
        QVERIFY(a.Save());
        QVERIFY(!a.Doc().IsModified());

        QCOMPARE(a.Action(cmd::kEditUndo)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
        QCOMPARE(a.Action(cmd::kEditRedo)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
        // New and Open start with nothing to undo.
        a.Action(cmd::kFileNew)->trigger();
        QCOMPARE(stack.count(), 0);
        QVERIFY(!a.Action(cmd::kEditUndo)->isEnabled());
    }

    void compactEmptiesTheStackAndSaysSoButKeepsUnsavedEditsUnsaved() {
        UndoApp a;
        for (const Case& c : Cases()) {
            if (std::string(c.name) == "add voice") c.act(a);
        }
        a.View().GoToPhrase(0, 1);
        a.Replace();
        // Bytes that neither a slot nor the history names: what compact is for.
        std::ofstream(a.talkPath, std::ios::app | std::ios::binary) << std::string(64, 'x');
        const size_t sizeBefore = ReadFileBytes(a.talkPath).size();
        a.prompter.messages.clear();
        a.Action(cmd::kCompactTalkFile)->trigger();
        QCOMPARE(a.prompter.messages.size(), size_t(1));
        QVERIFY2(a.prompter.messages[0].ends_with(
                     "\nUndo history cleared: compact dropped the bytes it needs."),
                 a.prompter.messages[0].c_str());
        QVERIFY(ReadFileBytes(a.talkPath).size() < sizeBefore);
        QCOMPARE(a.app->UndoStack().count(), 0);
        QVERIFY(!a.Action(cmd::kEditUndo)->isEnabled());
        QVERIFY(a.Doc().IsModified());  // the added voice is still to be saved
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
        // No line was written, and the lines' offsets moved with their entries.
        QCOMPARE(ReadFileBytes(a.talkPath + ".history").size(), history.size());
        const TakesResult takes = ListTakes(a.Doc(), 0, 0);
        QCOMPARE(takes.takes.size(), size_t(3));
        for (size_t i = 0; i < 3; ++i) {
            QVERIFY(takes.takes[i].present);
            const Bytes talk = ReadFileBytes(a.talkPath);
            QVERIFY(Bytes(talk.begin() + takes.takes[i].offset,
                          talk.begin() + takes.takes[i].offset + first[i].size()) == first[i]);
        }
    }

    void historyListsTheTakesPlaysOneAndRevertsUndoably() {
        UndoApp a;
        a.View().SetAutoPlay(false);
        a.View().GoToPhrase(0, 1);
        const uint32_t first = a.Slot(0, 1);
        a.Replace();
        const uint32_t second = a.Slot(0, 1);
        a.Replace();
        const uint32_t third = a.Slot(0, 1);
        CHistoryDlg dialog(a.Doc(), 0, 1, &a.app->UndoStack(), nullptr);
        dialog.show();
        QCOMPARE(dialog.Takes().size(), size_t(3));
        const QAbstractItemModel* model = dialog.Table()->model();
        QCOMPARE(model->index(1, CHistoryDlg::kSourceColumn).data().toString(), "take.wav");
        QCOMPARE(model->index(2, CHistoryDlg::kCurrentColumn).data().toString(), "current");
        QVERIFY(model->index(0, CHistoryDlg::kCurrentColumn).data().toString().isEmpty());

        dialog.Table()->selectRow(0);
        dialog.PlayButton()->click();
        QVERIFY(a.sound->WaitForCalls(NullSoundStep::Play, 1, std::chrono::seconds(10)));
        dialog.RevertButton()->click();
        QCOMPARE(a.Slot(0, 1), first);
        QCOMPARE(model->index(0, CHistoryDlg::kCurrentColumn).data().toString(), "current");
        QCOMPARE(a.Action(cmd::kEditUndo)->text(), QString("&Undo Revert fragment 0 voice 1"));
        QCOMPARE(ReadTalkHistory(a.talkPath, 0, 1).lines.size(), size_t(3));

        a.Action(cmd::kEditUndo)->trigger();
        QCOMPARE(a.Slot(0, 1), third);
        a.Action(cmd::kEditUndo)->trigger();
        QCOMPARE(a.Slot(0, 1), second);
        a.Action(cmd::kEditRedo)->trigger();
        a.Action(cmd::kEditRedo)->trigger();
        QCOMPARE(a.Slot(0, 1), first);
        QCOMPARE(ReadTalkHistory(a.talkPath, 0, 1).lines.size(), size_t(3));
        QVERIFY(!a.Doc().IsModified());  // every step was written at once
        QCOMPARE(a.prompter.unexpectedQuestions, 0);
    }
};

int RunUndoTest(int argc, char** argv) {
    UndoTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_undo.moc"

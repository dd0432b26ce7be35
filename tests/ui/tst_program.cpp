// The whole program as a person meets it: start-up and title, the question before a modified
// document is dropped, where file dialogs open, buttons that cannot act, damaged files, fields
// that never show another document's values, Auto Play, the keyboard and the phrase search.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "tests/dialogs/testregistry.h"
#include "tests/ui/formfixture.h"
#include "ui/commandids.h"
#include "ui/exportflows.h"
#include "ui/formids.h"
#include "ui/phrasesearchdock.h"

namespace vox::test {
namespace {

// Fields that show what a fragment or comm holds, and must be empty when there is none.
const int kRecordFields[] = {
    form::kVoiceCount, form::kVoxIndex, form::kVoxSize1,   form::kVoxSize2,    form::kPriority,
    form::kPosition,   form::kBullseye, form::kElements,   form::kEvals,       form::kWarp,
    form::kCommName,   form::kFragBase, form::kNumberBase, form::kFragBase + 2};

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
  private slots:
    // The full path goes to the status bar, and the "Ready" pane hides rather than lie under it.
    void startingWithAPathOpensItAndSaysWhereTheFileLies() {
        Program p;
        QCOMPARE(p.Title(), QString("speech.vox - voxbench"));
        QCOMPARE(p.Text(form::kFragCount), QString("5"));
        QCOMPARE(p.app->RecentFiles().Files(), std::vector<std::string>{p.talkPath});
        QCOMPARE(p.Frame().statusBar()->currentMessage(), QString::fromStdString(p.talkPath));
        QVERIFY(!p.Frame().MessagePane()->isVisibleTo(&p.Frame()));
        QVERIFY(p.prompter.messages.empty());
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
    void aModifiedDocumentIsOfferedForSavingFirst_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs");  // "-": no dialog, "": Cancel in it
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("visible");
        const int yes = int(Answer::Yes);
        const QString kept = "speech.vox* - voxbench";
        QTest::newRow("New, Cancel") << cmd::kFileNew << int(Answer::Cancel) << "-" << kept << true;
        QTest::newRow("Exit, Cancel")
            << cmd::kAppExit << int(Answer::Cancel) << "-" << kept << true;
        QTest::newRow("New, No") << cmd::kFileNew << int(Answer::No) << "-"
                                 << "Untitled - voxbench" << true;
        QTest::newRow("New, Save As cancelled") << cmd::kFileNew << yes << "" << kept << true;
        QTest::newRow("Open, Save As cancelled") << cmd::kFileOpen << yes << "" << kept << true;
        QTest::newRow("Exit, Save As cancelled") << cmd::kAppExit << yes << "" << kept << true;
        QTest::newRow("New, write failed")
            << cmd::kFileNew << yes << "no-such-folder/fragFile.bin" << kept << true;
        QTest::newRow("Exit, saved") << cmd::kAppExit << yes << "fragFile.bin"
                                     << "speech.vox - voxbench" << false;
    }
    void aModifiedDocumentIsOfferedForSavingFirst() {
        QFETCH(int, command);
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(QString, title);
        QFETCH(bool, visible);
        Program p;
        QVERIFY(p.Doc().RemoveFragElement(0, 1));
        p.Doc().UpdateAllViews();
        if (command == cmd::kFileOpen) p.prompter.AnswerFile(p.talkPath);
        p.prompter.AnswerYesNoCancel(Answer(answer));
        if (saveAs == "")
            p.prompter.AnswerFile(std::nullopt);
        else if (saveAs != "-")
            p.prompter.AnswerFile(p.dir.File(saveAs.toStdString()));
        p.Trigger(command);
        QVERIFY(p.prompter.ScriptUsedUp());
        QCOMPARE(p.prompter.questions, std::vector<std::string>{"Save changes to speech.vox?"});
        QCOMPARE(p.Title(), title);
        QCOMPARE(p.Frame().isVisible(), visible);
        QCOMPARE(p.prompter.messages.size(), size_t(saveAs.startsWith("no-such") ? 1 : 0));
        // The table's dialog opens beside the talk file, not in the working folder.
        if (saveAs != "-") QCOMPARE(p.prompter.fileRequests.back().folder, p.dir.Path());
    }

    void startingWithoutAPathShowsAnUntitledFormThatSavingNames() {
        Program p(Program::Start::Empty);
        QCOMPARE(p.Title(), QString("Untitled - voxbench"));
        QCOMPARE(p.Text(form::kFragCount), QString("0"));
        QCOMPARE(p.Frame().MessagePane()->text(), QString("Ready"));
        p.prompter.AnswerFile(p.dir.File("named.vox"));
        p.Trigger(cmd::kFileSave);
        QCOMPARE(p.prompter.fileRequests.size(), size_t(1));
        QVERIFY(p.prompter.fileRequests[0].save);
        QCOMPARE(p.prompter.fileRequests[0].fileName, std::string("Untitled.vox"));
        QCOMPARE(p.Title(), QString("named.vox - voxbench"));
        QVERIFY(!FileExists(p.dir.File("named.vox")));  // the name is only a title
    }

    void waveAndListDialogsOpenWhereTheirKindWasLastUsed() {
        Program p;
        std::filesystem::create_directory(p.dir.File("takes"));
        const std::string wave = p.dir.File("takes/one.wav");
        p.prompter.AnswerFile(wave);
        p.Type(form::kFragment, "1");
        p.Click(form::kSave);
        std::vector<uint8_t> pcm;
        QVERIFY(ReadWave(wave, pcm));
        QCOMPARE(pcm.size(), size_t(TestDatabase::EntryBytes(2)));  // the shown fragment's voice
        p.prompter.AnswerFile(std::nullopt);
        p.Click(form::kSave);
        p.prompter.AnswerFile(std::nullopt);
        p.Click(form::kSaveRange);
        const auto& requests = p.prompter.fileRequests;
        QCOMPARE(requests.size(), size_t(3));
        QCOMPARE(requests[0].folder, std::string());
        QCOMPARE(requests[1].folder, p.dir.File("takes"));
        QCOMPARE(requests[2].folder, std::string());  // the export list has a folder of its own
    }

    void noFieldKeepsAValueOfTheDocumentBefore() {
        Program p;
        p.Trigger(cmd::kFileNew);
        for (int id : kRecordFields) QCOMPARE(p.Text(id), QString());
        QCOMPARE(p.Text(form::kEvalButtonBase + 1), QString());
        QVERIFY(!p.app->OpenDocumentFile(p.dir.File("missing.vox")));
        for (int id : kRecordFields) QCOMPARE(p.Text(id), QString());
        QVERIFY(p.app->OpenDocumentFile(p.talkPath));
        QCOMPARE(p.Text(form::kCommName), QString("Greeting"));
    }

    void aDamagedTalkFileIsToldOnceAndOpenedForLookingOnly() {
        Program p(Program::Start::Empty);
        std::filesystem::resize_file(p.talkPath, 100);
        QVERIFY(p.app->OpenDocumentFile(p.talkPath));
        QCOMPARE(p.prompter.messages.size(), size_t(1));
        const std::string& told = p.prompter.messages[0];
        QVERIFY2(told.find("speech.vox: slot 2 (byte 20): points outside the file") !=
                         std::string::npos &&
                     told.find("read-only") != std::string::npos,
                 told.c_str());
        QCOMPARE(p.Text(form::kFragCount), QString("5"));  // the tables can still be looked at
        QVERIFY(p.Doc().RemoveFragElement(0, 1));
        p.Trigger(cmd::kFileSave);
        QCOMPARE(p.prompter.messages.size(), size_t(2));
        QVERIFY(p.Doc().IsModified());
        QCOMPARE(std::filesystem::file_size(p.talkPath), uintmax_t(100));
    }

    // The sound device opens on the player's thread after Play returned, so its failure is
    // told later.
    void aButtonThatCannotActSaysWhyInTheStatusBar() {
        const struct {
            int button;
            QString fragment, voice;
            std::string reason;
        } cases[] = {{form::kPlay, "999", "0", "Fragment 999 does not exist"},
                     {form::kPlay, "3", "12", "Fragment 3 has no voice 12"},
                     {form::kSave, "3", "12", "Fragment 3 has no voice 12"},
                     {form::kInfo, "999", "0", "Fragment 999 does not exist"}};
        Program p;
        p.View().SetAutoPlay(false);
        for (const auto& c : cases) {
            p.Type(form::kFragment, c.fragment);
            p.Type(form::kVoice, c.voice);
            p.prompter.statuses.clear();
            p.Click(c.button);
            QCOMPARE(p.prompter.statuses, std::vector<std::string>{c.reason});
        }
        QVERIFY(p.prompter.fileRequests.empty());
        QVERIFY(p.PlayedSoFar().empty());
        p.sound->FailNext(NullSoundStep::Open, 1, kSoundNoDevice);
        p.Type(form::kFragment, "0");
        p.Type(form::kVoice, "0");
        p.prompter.statuses.clear();
        p.Click(form::kPlay);
        const std::vector<std::string> told{"No sound device: no output device could be made"};
        QTRY_COMPARE(p.prompter.statuses, told);
    }

    void theExportProgressIsGoneBeforeTheCountIsShown() {
        Program p;
        p.prompter.AnswerFile(p.dir.File("Filenames.csv"));
        p.prompter.AnswerNumbers(std::vector<long long>{0, 4});
        size_t messagesWhenClosed = 99;
        SaveFragmentRange(p.Doc(), {}, [&] { messagesWhenClosed = p.prompter.messages.size(); });
        QCOMPARE(messagesWhenClosed, size_t(0));
        QCOMPARE(p.prompter.messages, std::vector<std::string>{"8 .wav files saved"});
    }

    void ctrlATogglesAutoPlayAndAltVOpensTheViewMenu() {
        Program p;
        QAction* autoPlay = p.Frame().Action(cmd::kAutoPlay);
        autoPlay->trigger();
        QVERIFY(!p.View().AutoPlay() && !autoPlay->isChecked());
        p.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.Frame()));
        p.Edit(form::kFragment)->setFocus();
        QTest::keyClick(p.Edit(form::kFragment), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(p.View().AutoPlay() && autoPlay->isChecked());
        // Alt+V is the menu's, not the Add Voice button's.
        QTest::keyClick(&p.Frame(), Qt::Key_V, Qt::AltModifier);
        QMenu* view = nullptr;
        for (QAction* menu : p.Frame().menuBar()->actions())
            if (menu->text() == "&View") view = menu->menu();
        QVERIFY(view);
        QTRY_VERIFY(view->isVisible());
        view->hide();
        QCOMPARE(p.Text(form::kAddVoice), QString("Add &Voice"));
        QVERIFY(p.prompter.fileRequests.empty());
    }

    void thePhraseSearchFindsAsYouTypeAndEnterShowsAndPlaysTheMatch() {
        Program p;
        p.Button(form::kSearchPhrase)->click();
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
        QCOMPARE(p.Text(form::kFragment) + p.Text(form::kVoice), QString("21"));
        QCOMPARE(p.Played(1), std::vector<int>{4});
    }
};

RegisterTest<ProgramTest> registerProgram;

}  // namespace vox::test

#include "tst_program.moc"

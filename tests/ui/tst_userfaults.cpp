// What a person meets around the document: where file dialogs open, a cancelled save that keeps
// the edits, and fields that never show another document's values.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "audio/player/nullsounddevice.h"
#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/cmainframe.h"
#include "ui/commandids.h"
#include "ui/cvoxbenchapp.h"
#include "ui/exportflows.h"
#include "ui/formids.h"
#include "ui/phrasesearchdock.h"

using namespace vox;
using vox::test::FormFixture;
using vox::test::ScriptedPrompter;
using vox::test::TempDir;
using vox::test::TestDatabase;

namespace {

struct App : vox::test::AppFixture {
    explicit App(bool open = true) {
        profile.WriteString("Data", "Comms", TestDatabase::WriteCommNames(dir.Path()));
        profile.WriteString("Data", "Phrases", TestDatabase::WritePhrases(dir.Path()));
        Build();
        QStringList arguments;
        if (open) arguments << QString::fromStdString(talkPath);
        if (!app->InitInstance(arguments)) qFatal("%s", app->StartupError().c_str());
    }
    QString ButtonText(int id) const {
        auto* button = app->View()->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
        return button ? button->text() : "<missing>";
    }
    void Trigger(int id) { app->MainFrame()->Action(id)->trigger(); }
};

// Fields that show what a fragment or comm holds, and must be empty when there is none.
const int kRecordFields[] = {
    form::kVoiceCount, form::kVoxIndex, form::kVoxSize1,   form::kVoxSize2,    form::kPriority,
    form::kPosition,   form::kBullseye, form::kElements,   form::kEvals,       form::kWarp,
    form::kCommName,   form::kFragBase, form::kNumberBase, form::kFragBase + 2};

}  // namespace

class UserFaultsTest : public QObject {
    Q_OBJECT

  private slots:
    void cancelInTheTableSaveDialogCancelsTheWholeAction_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("New") << cmd::kFileNew;
        QTest::newRow("Open") << cmd::kFileOpen;
        QTest::newRow("Exit") << cmd::kAppExit;
    }
    void cancelInTheTableSaveDialogCancelsTheWholeAction() {
        QFETCH(int, command);
        App a;
        QVERIFY(a.app->Document().RemoveFragElement(0, 1));
        a.app->Document().UpdateAllViews();
        if (command == cmd::kFileOpen) a.prompter.AnswerFile(a.talkPath);
        a.prompter.AnswerYesNoCancel(Answer::Yes);
        a.prompter.AnswerFile(std::nullopt);  // Cancel in the table's Save As
        a.Trigger(command);
        QVERIFY(a.prompter.ScriptUsedUp());
        QVERIFY(a.app->Document().IsModified());
        QVERIFY(a.app->Document().GetFragTable().IsModified());
        QVERIFY(a.app->MainFrame()->isVisible());
        QCOMPARE(a.app->MainFrame()->windowTitle(), QString("speech.vox* - voxbench"));  // modified
        QCOMPARE(a.Field(form::kVoiceCount), QString("1"));  // the edit is still shown
        // The table's dialog opened beside the talk file, not in the working folder.
        QCOMPARE(a.prompter.fileRequests.back().folder, a.dir.Path());
        QCOMPARE(a.prompter.fileRequests.back().fileName, std::string("fragFile.bin"));
    }

    void aFailedTableWriteKeepsTheEditsToo() {
        App a;
        QVERIFY(a.app->Document().RemoveFragElement(0, 1));
        a.prompter.AnswerYesNoCancel(Answer::Yes);
        a.prompter.AnswerFile(a.dir.File("no-such-folder/fragFile.bin"));
        a.Trigger(cmd::kFileNew);
        QCOMPARE(a.prompter.messages.size(), size_t(1));
        QVERIFY(a.app->Document().IsModified());
        QCOMPARE(a.Field(form::kFragCount), QString("5"));
    }

    void waveAndListDialogsOpenWhereTheirKindWasLastUsed() {
        FormFixture f;
        std::filesystem::create_directory(f.Dir().File("takes"));
        const std::string wave = f.Dir().File("takes/one.wav");
        f.Prompter().AnswerFile(wave);
        f.View().SaveFragmentWave();
        QVERIFY(vox::test::FileExists(wave));
        f.Prompter().AnswerFile(std::nullopt);
        f.View().SaveFragmentWave();
        f.Prompter().AnswerFile(std::nullopt);
        f.View().SaveFragmentRange();
        const auto& requests = f.Prompter().fileRequests;
        QCOMPARE(requests.size(), size_t(3));
        QCOMPARE(requests[0].folder, std::string());
        QCOMPARE(requests[1].folder, f.Dir().File("takes"));
        QCOMPARE(requests[2].folder, std::string());  // the export list has a folder of its own
        QCOMPARE(f.Doc().GetProfile().GetString("Folders", "WaveSave", ""), f.Dir().File("takes"));
    }

    void noFieldKeepsAValueOfTheDocumentBefore() {
        App a;
        QCOMPARE(a.Field(form::kCommName), QString("Greeting"));
        QCOMPARE(a.ButtonText(form::kEvalButtonBase + 1), QString("1"));
        a.Trigger(cmd::kFileNew);
        for (int id : kRecordFields) QCOMPARE(a.Field(id), QString());
        QCOMPARE(a.ButtonText(form::kEvalButtonBase + 1), QString());
        QCOMPARE(a.Field(form::kFragCount), QString("0"));
        QVERIFY(!a.app->OpenDocumentFile(a.dir.File("missing.vox")));
        for (int id : kRecordFields) QCOMPARE(a.Field(id), QString());
        QVERIFY(a.app->OpenDocumentFile(a.talkPath));
        QCOMPARE(a.Field(form::kWarp), QString("5"));
        QCOMPARE(a.Field(form::kCommName), QString("Greeting"));
    }

    void aDamagedTalkFileIsToldOnceAndOpenedForLookingOnly() {
        App a(false);
        std::filesystem::resize_file(a.talkPath, 100);
        QVERIFY(a.app->OpenDocumentFile(a.talkPath));
        QCOMPARE(a.prompter.messages.size(), size_t(1));
        const std::string& told = a.prompter.messages[0];
        QVERIFY2(
            told.find("speech.vox: slot 2 (byte 20): points outside the file") != std::string::npos,
            told.c_str());
        QVERIFY2(told.find("read-only") != std::string::npos, told.c_str());
        QVERIFY(a.app->Document().IsReadOnly());
        QCOMPARE(a.Field(form::kFragCount), QString("5"));  // the tables can still be looked at
        QVERIFY(a.app->Document().RemoveFragElement(0, 1));
        a.Trigger(cmd::kFileSave);
        QCOMPARE(a.prompter.messages.size(), size_t(2));
        QVERIFY(a.app->Document().IsModified());
        QCOMPARE(std::filesystem::file_size(a.talkPath), uintmax_t(100));
    }

    void openingSaysWhereTheFileLies() {
        App a;
        const QString full = QString::fromStdString(a.talkPath);
        QCOMPARE(a.app->MainFrame()->statusBar()->currentMessage(), full);
        QVERIFY(
            !a.app->MainFrame()->MessagePane()->isVisibleTo(a.app->MainFrame()));  // not over it
        QCOMPARE(a.app->MainFrame()->windowFilePath(), full);
        QCOMPARE(a.app->MainFrame()->windowTitle(), QString("speech.vox - voxbench"));
        QVERIFY(a.prompter.messages.empty());  // a sound directory is opened without a word
    }

    void aButtonThatCannotActSaysWhyInTheStatusBar_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("reason");
        QTest::newRow("play, no fragment") << form::kPlay << "999"
                                           << "0"
                                           << "Fragment 999 does not exist";
        QTest::newRow("play, no voice") << form::kPlay << "3"
                                        << "12"
                                        << "Fragment 3 has no voice 12";
        QTest::newRow("save, no voice") << form::kSave << "3"
                                        << "12"
                                        << "Fragment 3 has no voice 12";
        QTest::newRow("info, no fragment") << form::kInfo << "999"
                                           << "0"
                                           << "Fragment 999 does not exist";
    }
    void aButtonThatCannotActSaysWhyInTheStatusBar() {
        QFETCH(int, button);
        QFETCH(QString, fragment);
        QFETCH(QString, voice);
        QFETCH(QString, reason);
        FormFixture f;
        f.Type(form::kFragment, fragment);
        f.Type(form::kVoice, voice);
        f.Prompter().statuses.clear();
        f.Click(button);
        QCOMPARE(f.Prompter().statuses, std::vector<std::string>{reason.toStdString()});
        QVERIFY(f.Prompter().fileRequests.empty());
        QVERIFY(f.PlayedSoFar().empty());
    }

    // The device opens on the player's thread after Play returned, so the reason arrives later.
    void aSoundWithoutADeviceSaysWhyInTheStatusBar() {
        FormFixture f;
        f.Sound().FailNext(NullSoundStep::Open, 1, kSoundNoDevice);
        f.Prompter().statuses.clear();
        f.Click(form::kPlay);
        const std::vector<std::string> told{"No sound device: no output device could be made"};
        QTRY_COMPARE(f.Prompter().statuses, told);
    }

    void theExportProgressIsGoneBeforeTheCountIsShown() {
        FormFixture f;
        f.Prompter().AnswerFile(f.Dir().File("Filenames.csv"));
        f.Prompter().AnswerNumbers(std::vector<long long>{0, 4});
        size_t messagesWhenClosed = 99;
        SaveFragmentRange(f.Doc(), {}, [&] { messagesWhenClosed = f.Prompter().messages.size(); });
        QCOMPARE(messagesWhenClosed, size_t(0));
        QCOMPARE(f.Prompter().messages, std::vector<std::string>{"8 .wav files saved"});
    }

    void altVOpensTheViewMenuAndLeavesTheButtonItsCaption() {
        App a;
        CMainFrame* frame = a.app->MainFrame();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_V, Qt::AltModifier);
        QMenu* view = nullptr;
        for (QAction* menu : frame->menuBar()->actions()) {
            if (menu->text() == "&View") view = menu->menu();
        }
        QVERIFY(view);
        QTRY_VERIFY(view->isVisible());
        view->hide();
        QCOMPARE(a.ButtonText(form::kAddVoice), QString("Add &Voice"));
        QVERIFY(a.prompter.fileRequests.empty());
    }

    void thePhraseSearchFindsAsYouTypeAndEnterShowsAndPlaysTheMatch() {
        App a;
        a.app->View()
            ->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(form::kSearchPhrase))
            ->click();
        PhraseSearchDock* dock = a.app->MainFrame()->PhraseSearch();
        QVERIFY(dock->isVisible());
        QTest::keyClicks(dock->Field(), "F2V");
        QAbstractItemModel* results = dock->Results()->model();
        QCOMPARE(results->rowCount(), 2);
        QCOMPARE(results->index(1, PhraseMatchModel::kText).data().toString(), QString("f2v1"));
        dock->Field()->clear();
        QTest::keyClicks(dock->Field(), "greet");
        QCOMPARE(results->rowCount(), 1);
        QCOMPARE(results->index(0, PhraseMatchModel::kKind).data().toString(), QString("Comm"));
        dock->Field()->clear();
        QTest::keyClicks(dock->Field(), "f2v1");
        QTest::keyClick(dock->Field(), Qt::Key_Return);
        QCOMPARE(a.Field(form::kFragment), QString("2"));
        QCOMPARE(a.Field(form::kVoice), QString("1"));
        QVERIFY(a.sound->WaitForCalls(NullSoundStep::Play, 1, std::chrono::seconds(10)));
        QTRY_COMPARE(a.sound->GetPlayed().size(), size_t(1));
        QCOMPARE(TestDatabase::EntryOfBytes(a.sound->GetPlayed()[0].pcm.size()), 4);
    }
};

int RunUserFaultsTest(int argc, char** argv) {
    UserFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_userfaults.moc"

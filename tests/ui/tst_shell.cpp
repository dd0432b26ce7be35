// The application shell: start-up, title, opening by every road, the recent-file list, the
// question before a modified document is dropped, the bars and the Auto Play command.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QToolBar>
#include <filesystem>

#include "audio/player/nullsounddevice.h"
#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/cmainframe.h"
#include "ui/commandids.h"
#include "ui/cvoxbenchapp.h"
#include "ui/cvoxbenchview.h"
#include "ui/formids.h"

using namespace vox;
using vox::test::ScriptedPrompter;
using vox::test::TempDir;
using vox::test::TestDatabase;

namespace {

struct Shell : vox::test::AppFixture {
    explicit Shell(bool build = true) {
        if (build) Build();
    }
    QString Title() { return app->MainFrame()->windowTitle(); }
    // A copy of the database in a folder of its own.
    std::string CopyDatabase(const std::string& name) {
        const std::string folder = dir.File(name);
        std::filesystem::create_directory(folder);
        return TestDatabase::Write(folder);
    }
};

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

  private slots:
    void startingWithoutAPathShowsAnEmptyUntitledForm() {
        Shell s;
        QVERIFY(s.app->InitInstance({}));
        QVERIFY(s.app->MainFrame()->isVisible());
        QCOMPARE(s.Title(), QString("Untitled - voxbench"));
        QCOMPARE(s.Field(form::kFragCount), QString("0"));
        QCOMPARE(s.app->MainFrame()->MessagePane()->text(), QString("Ready"));
    }

    void startingWithAPathOpensIt() {
        Shell s;
        QVERIFY(s.app->InitInstance({QString::fromStdString(s.talkPath)}));
        QCOMPARE(s.Title(), QString("speech.vox - voxbench"));
        QCOMPARE(s.Field(form::kFragCount), QString("5"));
        QCOMPARE(s.app->RecentFiles().Files().size(), size_t(1));
    }

    void aPathThatCannotBeOpenedEndsStartUpWithTheReason() {
        Shell s;
        std::filesystem::remove(s.dir.File("fragFile.bin"));
        QVERIFY(!s.app->InitInstance({QString::fromStdString(s.talkPath)}));
        QVERIFY(!s.app->MainFrame()->isVisible());
        QCOMPARE(s.prompter.messages.size(), size_t(1));
        const std::string& message = s.prompter.messages[0];
        QVERIFY2(message.find(s.talkPath) != std::string::npos, message.c_str());
        QVERIFY2(message.find("fragFile.bin") != std::string::npos, message.c_str());
    }

    void aModifiedDocumentIsOfferedForSavingBeforeNew() {
        Shell s;
        QVERIFY(s.app->InitInstance({QString::fromStdString(s.talkPath)}));
        s.app->Document().SetModifiedFlag(true);
        s.prompter.AnswerYesNoCancel(Answer::Cancel);
        s.app->MainFrame()->Action(cmd::kFileNew)->trigger();
        QCOMPARE(s.prompter.questions, std::vector<std::string>{"Save changes to speech.vox?"});
        QCOMPARE(s.Title(), QString("speech.vox - voxbench"));
        s.prompter.AnswerYesNoCancel(Answer::No);
        s.app->MainFrame()->Action(cmd::kFileNew)->trigger();
        QCOMPARE(s.Title(), QString("Untitled - voxbench"));
        QCOMPARE(s.Field(form::kFragCount), QString("0"));
    }

    void closingAModifiedDocumentCanBeCancelledOrSaved() {
        Shell s;
        QVERIFY(s.app->InitInstance({QString::fromStdString(s.talkPath)}));
        s.app->Document().SetModifiedFlag(true);
        s.prompter.AnswerYesNoCancel(Answer::Cancel);
        QVERIFY(!s.app->MainFrame()->close());
        QVERIFY(s.app->MainFrame()->isVisible());
        s.prompter.AnswerYesNoCancel(Answer::Yes);
        s.app->MainFrame()->Action(cmd::kAppExit)->trigger();
        QVERIFY(!s.app->MainFrame()->isVisible());
        QVERIFY(!s.app->Document().IsModified());  // saved: no table was changed, no dialog
        QCOMPARE(s.prompter.unexpectedQuestions, 0);
    }

    void savingADocumentNeverOpenedAsksForANameFirst() {
        Shell s;
        QVERIFY(s.app->InitInstance({}));
        s.prompter.AnswerFile(s.dir.File("named.vox"));
        s.app->MainFrame()->Action(cmd::kFileSave)->trigger();
        QCOMPARE(s.prompter.fileRequests.size(), size_t(1));
        QVERIFY(s.prompter.fileRequests[0].save);
        QCOMPARE(s.prompter.fileRequests[0].fileName, std::string("Untitled.vox"));
        QCOMPARE(s.Title(), QString("named.vox - voxbench"));
        QVERIFY(!vox::test::FileExists(s.dir.File("named.vox")));  // the name is only a title
    }

    void autoPlayIsOneCommandForMenuToolbarAndCtrlA() {
        Shell s;
        QVERIFY(s.app->InitInstance({}));
        CMainFrame* frame = s.app->MainFrame();
        QAction* autoPlay = frame->Action(cmd::kAutoPlay);
        QVERIFY(autoPlay && autoPlay->isCheckable() && autoPlay->isChecked());
        QVERIFY(frame->ToolBar()->actions().contains(autoPlay));
        QCOMPARE(autoPlay->toolTip(), QString("Play on change"));
        QCOMPARE(autoPlay->statusTip(), QString("Play track on change"));
        autoPlay->trigger();
        QVERIFY(!s.app->View()->AutoPlay());
        QVERIFY(!autoPlay->isChecked());
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QLineEdit* field = s.app->View()->findChild<QLineEdit*>("ctl1000");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(s.app->View()->AutoPlay());
        QVERIFY(autoPlay->isChecked());
    }

    void theBarsAndTheUnhandledCommandsAreAsTheTableSays() {
        Shell s;
        QVERIFY(s.app->InitInstance({}));
        CMainFrame* frame = s.app->MainFrame();
        for (int id : {cmd::kEditUndo, cmd::kEditCut, cmd::kEditCopy, cmd::kEditPaste}) {
            QVERIFY(!frame->Action(id)->isEnabled());
        }
        QCOMPARE(frame->ToolBar()->actions().size(), 8);  // six buttons, two gaps
        for (const char* pane : {"paneCAP", "paneNUM", "paneSCRL"}) {
            QVERIFY(!frame->findChild<QLabel*>(pane));
        }
        QAction* toolbar = frame->Action(cmd::kViewToolbar);
        QVERIFY(toolbar->isChecked());
        toolbar->trigger();
        QVERIFY(!frame->ToolBar()->isVisible());
        QVERIFY(!toolbar->isChecked());
        QCOMPARE(frame->Action(cmd::kFileNew)->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(frame->Action(cmd::kSaveFragFile)->shortcut(), QKeySequence("Ctrl+F"));
    }
};

int RunShellTest(int argc, char** argv) {
    ShellTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_shell.moc"

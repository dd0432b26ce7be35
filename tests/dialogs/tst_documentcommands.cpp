// The document's commands as the desktop program runs them: the searches through the real Find
// and Result List dialogs, saving both tables after editing, and loading the side files.
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "audio/player/nullsoundcontrol.h"
#include "audio/player/nullsounddevice.h"
#include "tests/dialogs/editorfixture.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "ui/dialogs/qtprompter.h"
#include "ui/documentcommands.h"
#include "ui/templates/dialogbuilder.h"

namespace vox::test {
namespace {

template <typename T>
T* Find(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

}  // namespace

class DocumentCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void findFragInEvalRunsTheFindAndResultListDialogs() {
        EditorFixture f;
        QtPrompter prompter(nullptr);
        f.doc->SetPrompter(&prompter);
        ModalDriver find;
        ModalDriver results;
        QStringList rows;
        QList<int> data;
        find.WhenModalOpens([&](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QString("Find"));
            QTest::keyClicks(Find<QLineEdit>(modal, 1094), "6 frags");
            results.WhenModalOpens(
                [&](QWidget* list) {
                    QCOMPARE(list->windowTitle(), QString("Result List"));
                    auto* tree = Find<QTreeWidget>(list, 1095);
                    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                        rows << tree->topLevelItem(i)->text(0);
                        data << tree->topLevelItem(i)->data(0, Qt::UserRole).toInt();
                    }
                    QTest::mouseClick(Find<QPushButton>(list, 1), Qt::LeftButton);
                },
                modal);
            QTest::mouseClick(Find<QPushButton>(modal, 1), Qt::LeftButton);
        });
        OnFindFragInEval(*f.doc);
        QVERIFY(find.Ran() && results.Ran());
        QVERIFY(!find.TimedOut() && !results.TimedOut());
        QCOMPARE(rows, QStringList({"0", "2"}));  // eval 2 uses fragment 6 twice: listed once
        QCOMPARE(data, QList<int>({0, 1}));
        QVERIFY(!f.doc->IsModified());
    }

    void noMatchesIsAMessageBoxAndCancelIsSilent() {
        EditorFixture f;
        QtPrompter prompter(nullptr);
        f.doc->SetPrompter(&prompter);
        ModalDriver find;
        ModalDriver message;
        QString text;
        find.WhenModalOpens([&](QWidget* modal) {
            QTest::keyClicks(Find<QLineEdit>(modal, 1094), "999");
            message.WhenModalOpens(
                [&](QWidget* box) {
                    text = qobject_cast<QMessageBox*>(box)->text();
                    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
                },
                modal);
            QTest::mouseClick(Find<QPushButton>(modal, 1), Qt::LeftButton);
        });
        OnFindFragInCommand(*f.doc);
        QVERIFY(message.Ran() && !message.TimedOut());
        QCOMPARE(text, QString("No matches"));

        ModalDriver cancel;
        ModalDriver nothing;
        cancel.WhenModalOpens([&](QWidget* modal) {
            nothing.WhenModalOpens([](QWidget* box) { box->close(); }, modal, 300);
            QTest::mouseClick(Find<QPushButton>(modal, 2), Qt::LeftButton);
        });
        OnFindEvalInCommand(*f.doc);
        QTest::qWait(400);
        QVERIFY(cancel.Ran());
        QVERIFY(!nothing.Ran());
    }

    void searchesFollowTheirSignRules_data() {
        QTest::addColumn<int>("kind");  // 0 frag in eval, 1 eval in command, 2 frag in command
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("eval in command 5: entry -5") << 1 << "5" << QList<int>{2};
        QTest::newRow("eval in command 0: entry 0") << 1 << "" << QList<int>{3};
        QTest::newRow("eval in command -5: fragment 5") << 1 << " -5" << QList<int>{1};
        QTest::newRow("frag in command through eval 4") << 2 << "12abc" << QList<int>{5};
        QTest::newRow("frag in command directly and via eval once") << 2 << "1" << QList<int>{0};
        QTest::newRow("frag in eval 5") << 0 << "5" << QList<int>{0};
    }
    void searchesFollowTheirSignRules() {
        QFETCH(int, kind);
        QFETCH(QString, typed);
        QFETCH(QList<int>, expected);
        EditorFixture f;
        f.prompter.AnswerText(typed.toStdString());
        if (kind == 0)
            OnFindFragInEval(*f.doc);
        else if (kind == 1)
            OnFindEvalInCommand(*f.doc);
        else
            OnFindFragInCommand(*f.doc);
        QCOMPARE(f.prompter.lists.size(), size_t{1});
        QCOMPARE(QList<int>(f.prompter.lists[0].begin(), f.prompter.lists[0].end()), expected);
        QVERIFY(f.prompter.messages.empty());
    }

    void savingAfterEditingWritesFragmentsFirstAndReopensWithTheChanges() {
        EditorFixture f;
        QVERIFY(f.doc->InsertFragElement(2, 4, 0));
        QVERIFY(f.doc->RemoveFragElement(0, 0));
        QVERIFY(f.doc->InsertEvalElement(3, EvalElement{7, 6}));
        QVERIFY(f.doc->RemoveEvalElement(0, 1));
        const std::vector<uint8_t> fragBytes = f.doc->GetFragTable().SaveBytes();
        const std::vector<uint8_t> evalBytes = f.doc->GetEvalTable().SaveBytes();
        // Saved over the files the database was loaded from.
        f.prompter.AnswerFile(f.CompanionFile("fragFile.bin"));
        f.prompter.AnswerFile(f.CompanionFile("evalFile.bin"));
        QVERIFY(OnSaveDocument(*f.doc));
        QCOMPARE(f.prompter.fileRequests.size(), size_t{2});
        const FileDialogRequest& frag = f.prompter.fileRequests[0];
        QCOMPARE(frag.fileName, std::string("fragFile.bin"));
        QCOMPARE(frag.filter, std::string("Frag Bin Files (*.bin)|*.bin|All files (*.*)|*.*||"));
        QVERIFY(frag.save && frag.overwritePrompt);
        QCOMPARE(frag.defaultExtension, std::string("bin"));
        QCOMPARE(f.prompter.fileRequests[1].fileName, std::string("evalFile.bin"));
        QCOMPARE(f.prompter.fileRequests[1].filter,
                 std::string("Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||"));
        QVERIFY(f.prompter.messages.empty());
        QVERIFY(!f.doc->IsModified());
        QVERIFY(!f.doc->GetFragTable().IsModified());
        QVERIFY(!f.doc->GetEvalTable().IsModified());
        QCOMPARE(ReadFileBytes(f.CompanionFile("fragFile.bin")), fragBytes);
        QCOMPARE(ReadFileBytes(f.CompanionFile("evalFile.bin")), evalBytes);

        // The open database stays usable, and a fresh open sees the same tables.
        QVERIFY(f.doc->InsertFragElement(2, 6, 0));
        f.doc->OnCloseDocument();  // releases the talk file's writer lock
        CVoxbenchDoc reopened(f.profile,
                              MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        QVERIFY2(reopened.OnOpenDocument(f.talk), reopened.GetOpenError().c_str());
        QCOMPARE(reopened.GetFragTable().SaveBytes(), fragBytes);
        QCOMPARE(reopened.GetEvalTable().SaveBytes(), evalBytes);
    }

    void aFailedOrCancelledSaveKeepsTheTableModified() {
        EditorFixture f;
        QVERIFY(f.doc->InsertEvalElement(3, EvalElement{7, 6}));
        QVERIFY(f.doc->SetFragVoxIndex(1, 0, 0));
        f.prompter.AnswerFile(std::nullopt);  // fragment dialog cancelled: the save stops
        QVERIFY(!OnSaveDocument(*f.doc));
        QCOMPARE(f.prompter.fileRequests.size(), size_t{1});
        QVERIFY(f.doc->IsModified());
        f.prompter.AnswerFile(f.dir.File("missing/fragFile.bin"));  // cannot be created
        QVERIFY(!OnSaveDocument(*f.doc));
        QCOMPARE(f.prompter.messages.size(), size_t{1});
        QVERIFY(QString::fromStdString(f.prompter.messages[0]).startsWith("File save failed"));
        QVERIFY(f.doc->GetFragTable().IsModified());
        QVERIFY(f.doc->GetEvalTable().IsModified());
        QVERIFY(!FileExists(f.dir.File("missing/fragFile.bin")));
    }

    void loadCommandsRememberThePathAndRefreshTheViews() {
        EditorFixture f;
        const std::string names = f.dir.File("comms.csv");
        std::ofstream(names) << "0,Hello\n5,Goodbye\n";
        f.prompter.AnswerFile(names);
        OnLoadCommNames(*f.doc);
        QCOMPARE(f.prompter.fileRequests.size(), size_t{1});
        QVERIFY(f.prompter.fileRequests[0].mustExist);
        QCOMPARE(f.prompter.fileRequests[0].filter,
                 std::string("Comm Files (*.csv)|*.csv|All Files (*.*)|*.*||"));
        QCOMPARE(f.doc->GetCommName(5), std::string("Goodbye"));
        QCOMPARE(f.profile.GetString("Data", "Comms", ""), names);
        QVERIFY(f.view.updates > 0);

        const std::string phrases = f.dir.File("other.csv");
        std::ofstream(phrases) << "header\n3,x,three\n";
        f.prompter.AnswerFile(phrases);
        f.view.updates = 0;
        OnLoadPhrases(*f.doc);
        QCOMPARE(f.doc->GetPhrase(3, 0), std::string("three"));
        QCOMPARE(f.doc->GetPhrase(5, 0), std::string());
        QCOMPARE(f.profile.GetString("Data", "Phrases", ""), phrases);
        QVERIFY(f.view.updates > 0);
    }
};

RegisterTest<DocumentCommandsTest> registerDocumentCommands;

}  // namespace vox::test

#include "tst_documentcommands.moc"

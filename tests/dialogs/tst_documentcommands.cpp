// The document's commands as the desktop program runs them: the searches through the real Find
// and Result List dialogs, saving both tables after editing, and loading the side files.
#include <QLabel>
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
            QCOMPARE(Find<QLabel>(modal, 1098)->text(), QString("Fragment in evals:"));
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
};

RegisterTest<DocumentCommandsTest> registerDocumentCommands;

}  // namespace vox::test

#include "tst_documentcommands.moc"

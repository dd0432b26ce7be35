// The Qt prompter shows real modal dialogs; a driver answers each one from inside its exec().
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "tests/support/tempdir.h"
#include "ui/dialogs/cfinddlg.h"
#include "ui/dialogs/cresultlistdlg.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/qtprompter.h"
#include "ui/templates/dialogbuilder.h"

namespace vox::test {
namespace {

template <typename T>
T* Find(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

void Click(QWidget* dialog, int id) {
    QTest::mouseClick(Find<QPushButton>(dialog, id), Qt::LeftButton);
}

}  // namespace

class QtPrompterTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void messageBoxIsCaptionedWithTheProgramAndHasOneOKButton() {
        QtPrompter prompter(nullptr);
        ModalDriver driver;
        QString title;
        QString text;
        int buttons = 0;
        driver.WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            buttons = static_cast<int>(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        prompter.ShowMessage("No matches");
        QVERIFY(driver.Ran());
        QVERIFY(!driver.TimedOut());
        QCOMPARE(title, QString("voxbench"));
        QCOMPARE(text, QString("No matches"));
        QCOMPARE(buttons, 1);
    }

    void yesNoCancelQuestionReturnsTheButtonAndEscapeCancels() {
        QtPrompter prompter(nullptr);
        ModalDriver driver;
        QString title;
        driver.WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(prompter.AskYesNoCancel("Save changes to speech.vox?"), Answer::No);
        QCOMPARE(title, QString("voxbench"));
        driver.WhenModalOpens([](QWidget* modal) {
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(prompter.AskYesNoCancel("Save?"), Answer::Yes);
        driver.WhenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QCOMPARE(prompter.AskYesNoCancel("Save?"), Answer::Cancel);
        QVERIFY(!driver.TimedOut());
    }

    void numberDialogRefusesTextThenReturnsTheTypedNumbers() {
        QtPrompter prompter(nullptr);
        NumberDialogRequest request;
        request.templateId = kFragElementTemplate;
        request.fields = {{CFragElementDlg::kVoiceControl, "Voice", 0},
                          {CFragElementDlg::kVoxIndexControl, "Vox Index", 0}};
        ModalDriver driver;
        bool stayedOpen = false;
        driver.WhenModalOpens([&](QWidget* modal) {
            QVERIFY(dynamic_cast<CFragElementDlg*>(modal) != nullptr);
            Find<QLineEdit>(modal, 1092)->setText("three");
            Click(modal, 1);
            stayedOpen = modal->isVisible();
            Find<QLineEdit>(modal, 1092)->setText("3");
            Find<QLineEdit>(modal, 1091)->setText("70000");
            Click(modal, 1);
        });
        const auto answer = prompter.AskNumbers(request);
        QVERIFY(!driver.TimedOut());
        QVERIFY(stayedOpen);
        QVERIFY(answer.has_value());
        QCOMPARE(*answer, std::vector<long long>({3, 70000}));
    }

    void saveFileDialogIsQtsOwnWithFiltersNameAndDefaultExtension() {
        TempDir dir;
        QtPrompter prompter(nullptr);
        FileDialogRequest request;
        request.save = true;
        request.defaultExtension = "bin";
        request.fileName = "evalFile.bin";
        request.filter = "Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||";
        request.overwritePrompt = true;
        ModalDriver driver;
        QStringList filters;
        QString offered;
        bool confirmsOverwrite = false;
        driver.WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            filters = dialog->nameFilters();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name != nullptr);
            offered = name->text();
            dialog->setDirectory(QString::fromStdString(dir.Path()));
            name->setText("tables");                  // no extension: the default one is added
            static_cast<QDialog*>(dialog)->accept();  // public in QDialog
        });
        const auto chosen = prompter.AskFile(request);
        QVERIFY(!driver.TimedOut());
        QCOMPARE(filters, QStringList({"Eval Bin Files (*.bin)", "All files (*)"}));
        QCOMPARE(offered, QString("evalFile.bin"));
        QVERIFY(confirmsOverwrite);
        QCOMPARE(chosen.value_or(""), dir.File("tables.bin"));
    }
};

RegisterTest<QtPrompterTest> registerQtPrompter;

}  // namespace vox::test

#include "tst_qtprompter.moc"

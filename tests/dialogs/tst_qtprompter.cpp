// The Qt prompter shows real modal dialogs; a driver answers each one from inside its exec().
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "tests/support/tempdir.h"
#include "ui/dialogs/qtprompter.h"
#include "ui/frameprompter.h"

namespace vox::test {
namespace {

// Runs ask while act answers the dialog it opens; the dialog must have come and gone.
template <typename Ask>
auto Answered(const ModalDriver::Action& act, Ask ask) {
    ModalDriver driver;
    driver.WhenModalOpens(act);
    auto answer = ask();
    QTest::qVerify(driver.Ran() && !driver.TimedOut(), "the dialog came and went", "", __FILE__,
                   __LINE__);
    return answer;
}

ModalDriver::Action Press(QMessageBox::StandardButton button) {
    return [button](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(button)->click(); };
}

void Escape(QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }

}  // namespace

class QtPrompterTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void messageBoxesAreCaptionedWithTheProgramAndEscapeIsTheSafeAnswer() {
        QtPrompter prompter(nullptr);
        QStringList seen;
        Answered(
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                seen << box->windowTitle() << box->text() << QString::number(box->buttons().size());
                box->button(QMessageBox::Ok)->click();
            },
            [&] {
                prompter.ShowMessage("No matches");
                return 0;
            });
        QCOMPARE(seen, QStringList({"voxbench", "No matches", "1"}));
        const auto yesNoCancel = [&] { return prompter.AskYesNoCancel("Save changes?"); };
        QCOMPARE(Answered(Press(QMessageBox::No), yesNoCancel), Answer::No);
        QCOMPARE(Answered(Press(QMessageBox::Yes), yesNoCancel), Answer::Yes);
        QCOMPARE(Answered(Escape, yesNoCancel), Answer::Cancel);
        const auto yesNo = [&] { return prompter.AskYesNo("Store the first 5.06 s?"); };
        QVERIFY(Answered(Press(QMessageBox::Yes), yesNo));
        QVERIFY(!Answered(Escape, yesNo));
    }

    // A save dialog offers the name, asks before overwriting and adds the default extension.
    void aSaveDialogIsQtsOwnAndReturnsWhatWasChosen() {
        TempDir dir;
        QtPrompter prompter(nullptr);
        QStringList seen;
        const auto choose = [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            seen << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            if (!dialog->testOption(QFileDialog::DontConfirmOverwrite)) seen << "confirms";
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            dialog->selectFile(QString::fromStdString(dir.File("tables")));
            static_cast<QDialog*>(dialog)->accept();  // public in QDialog
        };
        FileDialogRequest save;
        save.save = save.overwritePrompt = true;
        save.defaultExtension = "bin";
        save.fileName = "evalFile.bin";
        QCOMPARE(Answered(choose, [&] { return prompter.AskFile(save); }).value_or(""),
                 dir.File("tables.bin"));
        QCOMPARE(seen, QStringList({"evalFile.bin", "confirms"}));
    }

    // A take's dialog carries the check box and returns its state.
    void aTakeDialogCarriesTheCheckBoxAndReturnsItsState() {
        TempDir dir;
        WriteFileBytes(dir.File("take.flac"), {1});
        QtPrompter prompter(nullptr);
        QString label;
        const auto choose = [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            auto* option = dialog->findChild<QCheckBox*>("fileDialogOption");
            QVERIFY(option != nullptr && !option->isChecked());
            label = option->text();
            option->click();
            dialog->selectFile(QString::fromStdString(dir.File("take.flac")));
            static_cast<QDialog*>(dialog)->accept();
        };
        FileDialogRequest request;
        request.mustExist = true;
        request.optionLabel = "Normalize loudness";
        const auto take = Answered(choose, [&] { return prompter.AskFileWithOption(request); });
        QCOMPARE(label, QString("Normalize loudness"));
        QCOMPARE(take.value_or(FileChoice{}).path, dir.File("take.flac"));
        QVERIFY(take->option);
    }

    void thePreviewsSoundButtonsPlayAndLeaveItOpen() {
        QtPrompter prompter(nullptr);
        std::vector<int> played(2);
        const std::vector<PreviewSound> sounds = {{"Play &New", [&] { ++played[0]; }},
                                                  {"Play &Current", [&] { ++played[1]; }}};
        QString seen;
        const auto confirm = [&] { return prompter.ConfirmWithPreview("Replace it?", sounds); };
        QVERIFY(Answered(
            [&](QWidget* modal) {
                auto* playNew = modal->findChild<QPushButton*>("previewSound0");
                seen = modal->findChild<QLabel*>("previewText")->text() + " " + playNew->text();
                for (auto* button :
                     {playNew, playNew, modal->findChild<QPushButton*>("previewSound1")})
                    QTest::mouseClick(button, Qt::LeftButton);
                if (!modal->isVisible()) seen += " (closed)";
                modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            },
            confirm));
        QCOMPARE(seen, QString("Replace it? Play &New"));
        QVERIFY(!Answered(Escape, confirm));
        QCOMPARE(played, std::vector<int>({2, 1}));
    }

    void aStatusLineGoesToTheFramesStatusBar() {
        QMainWindow frame;
        FramePrompter(&frame).ShowStatus("converted from 48000 Hz stereo 24-bit");
        QCOMPARE(frame.statusBar()->currentMessage(),
                 QString("converted from 48000 Hz stereo 24-bit"));
    }
};

RegisterTest<QtPrompterTest> registerQtPrompter;

}  // namespace vox::test

#include "tst_qtprompter.moc"

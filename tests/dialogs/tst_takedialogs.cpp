// The dialogs around a new take, shown for real: the file dialog's check box, the yes/no
// question before a cut, the preview question whose sound buttons leave it open, and the
// status bar line.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
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

class TakeDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void theFileDialogCarriesTheCheckBoxAndReturnsItsState() {
        TempDir dir;
        WriteFileBytes(dir.File("take.flac"), {1});
        QtPrompter prompter(nullptr);
        FileDialogRequest request;
        request.mustExist = true;
        request.optionLabel = "Normalize loudness";
        ModalDriver driver;
        QString label;
        driver.WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            auto* option = dialog->findChild<QCheckBox*>("fileDialogOption");
            QVERIFY(option != nullptr);
            label = option->text();
            QVERIFY(!option->isChecked());
            option->click();
            dialog->selectFile(QString::fromStdString(dir.File("take.flac")));
            static_cast<QDialog*>(dialog)->accept();
        });
        const std::optional<FileChoice> choice = prompter.AskFileWithOption(request);
        QVERIFY(!driver.TimedOut());
        QCOMPARE(label, QString("Normalize loudness"));
        QVERIFY(choice.has_value());
        QCOMPARE(choice->path, dir.File("take.flac"));
        QVERIFY(choice->option);
    }

    void theYesNoQuestionAnswersNoOnEscape() {
        QtPrompter prompter(nullptr);
        ModalDriver driver;
        driver.WhenModalOpens([](QWidget* modal) {
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        QVERIFY(prompter.AskYesNo("Store the first 5.06 s?"));
        driver.WhenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QVERIFY(!prompter.AskYesNo("Store the first 5.06 s?"));
        QVERIFY(!driver.TimedOut());
    }

    void theSoundButtonsPlayAndLeaveThePreviewOpen() {
        QtPrompter prompter(nullptr);
        int newPlayed = 0;
        int currentPlayed = 0;
        const std::vector<PreviewSound> sounds = {{"Play &New", [&] { ++newPlayed; }},
                                                  {"Play &Current", [&] { ++currentPlayed; }}};
        ModalDriver driver;
        QString text;
        bool stayedOpen = false;
        driver.WhenModalOpens([&](QWidget* modal) {
            text = modal->findChild<QLabel*>("previewText")->text();
            auto* playNew = modal->findChild<QPushButton*>("previewSound0");
            QCOMPARE(playNew->text(), QString("Play &New"));
            QTest::mouseClick(playNew, Qt::LeftButton);
            QTest::mouseClick(playNew, Qt::LeftButton);
            QTest::mouseClick(modal->findChild<QPushButton*>("previewSound1"), Qt::LeftButton);
            stayedOpen = modal->isVisible();
            modal->findChild<QDialogButtonBox*>("previewButtons")
                ->button(QDialogButtonBox::Ok)
                ->click();
        });
        QVERIFY(prompter.ConfirmWithPreview("Replace it?", sounds));
        QVERIFY(!driver.TimedOut());
        QCOMPARE(text, QString("Replace it?"));
        QVERIFY(stayedOpen);
        QCOMPARE(newPlayed, 2);
        QCOMPARE(currentPlayed, 1);
        driver.WhenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QVERIFY(!prompter.ConfirmWithPreview("Replace it?", sounds));
        QCOMPARE(newPlayed, 2);
    }

    void aStatusLineGoesToTheFramesStatusBar() {
        QMainWindow frame;
        FramePrompter prompter(&frame);
        prompter.ShowStatus("converted from 48000 Hz stereo 24-bit");
        QCOMPARE(frame.statusBar()->currentMessage(),
                 QString("converted from 48000 Hz stereo 24-bit"));
    }
};

RegisterTest<TakeDialogsTest> registerTakeDialogs;

}  // namespace vox::test

#include "tst_takedialogs.moc"

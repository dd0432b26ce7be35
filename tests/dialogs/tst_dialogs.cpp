// The dialogs driven through their widgets: the number dialogs, the whole-number rule and the file
// filter conversion; the Qt prompter's real modal dialogs, each answered by a driver from inside
// its exec(); the eval and frag editors with the element dialogs answered by the script; the
// searches through the real Find and Result List dialogs.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/modaldriver.h"
#include "tests/ui/formfixture.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/editors.h"
#include "ui/dialogs/filefilter.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/wholenumber.h"
#include "ui/documentcommands.h"
#include "ui/frameprompter.h"

namespace vox::test {
namespace {

constexpr int kFindText = 1094;
constexpr int kResultList = 1095;

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

// Each row of a list as its first columns joined by blanks; an item's data must be its row,
// since the editors act on the position it names.
QStringList Rows(QWidget* dialog, int listId, int columns) {
    QStringList rows;
    QTreeWidget* list = Control<QTreeWidget>(dialog, listId);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < columns; ++c) cells << list->topLevelItem(i)->text(c);
        const int data = list->topLevelItem(i)->data(0, Qt::UserRole).toInt();
        rows << cells.join(' ') + (data == i ? "" : QString(" (item data %1)").arg(data));
    }
    return rows;
}

// Selects a row (none when row < 0), clicks a button with the element dialog answered by
// numbers, and returns the list as it then shows, marked once the document is modified.
QString Act(Program& p, QWidget* dialog, int listId, int columns, int row, int button,
            const std::vector<long long>& numbers = {}) {
    QTreeWidget* list = Control<QTreeWidget>(dialog, listId);
    if (row >= 0) list->setCurrentItem(list->topLevelItem(row));
    if (!numbers.empty()) p.prompter.AnswerNumbers(numbers);
    Click(dialog, button);
    return Rows(dialog, listId, columns).join(", ") + (p.Doc().IsModified() ? " *" : "");
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setApplicationName("voxbench"); }
    void cleanup() { RejectAllModals(); }

    // Whole numbers in the int range, blanks around and a sign allowed; their low word is what
    // a 16-bit field keeps.
    void wholeNumbersTheirLowWordAndFileFilters() {
        long long parsed = 0;
        for (const auto& [text, value] : {std::pair<const char*, long long>{"  -3 ", -3},
                                          {"+7", 7},
                                          {"2147483647", 2147483647LL},
                                          {"-2147483648", -2147483648LL}}) {
            QVERIFY2(ParseWholeNumber(text, parsed), text);
            QCOMPARE(parsed, value);
        }
        for (const char* text : {"2147483648", "-2147483649", "", "12abc"})
            QVERIFY2(!ParseWholeNumber(text, parsed), text);
        QCOMPARE(LowWord(40000), int16_t{40000 - 65536});
        QCOMPARE(LowWord(-32769), int16_t{32767});

        // A file filter becomes Qt's name filters.
        QCOMPARE(ConvertFileFilter("Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||"),
                 QStringList({"Eval Bin Files (*.bin)", "All files (*)"}));
        QCOMPARE(ConvertFileFilter("Wave Files (*.wav)|*.wav;*.wave||"),
                 QStringList({"Wave Files (*.wav *.wave)"}));
        QCOMPARE(ConvertFileFilter("Plain|*.txt||"), QStringList({"Plain (*.txt)"}));
        QCOMPARE(ConvertFileFilter(""), QStringList({"All files (*)"}));
        QCOMPARE(ConvertFileFilter("dangling|"), QStringList({"All files (*)"}));
    }

    // A refused field keeps the dialog open with a prompt; the range dialog starts the first
    // fragment at 0 whatever the caller preset.
    void nonNumbersKeepTheDialogOpenWithAPromptUntilCorrected() {
        NumberDialogRequest request;
        request.templateId = kEvalElementTemplate;
        request.caption = "Add new element";
        request.fields = {{CEvalElementDlg::kIdControl, "Id", 0},
                          {CEvalElementDlg::kFragmentControl, "Fragment", 0}};
        const auto dialog = MakeNumberDialog(request, nullptr);
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QString("Add new element"));
        auto* fragment = Control<QLineEdit>(dialog.get(), CEvalElementDlg::kFragmentControl);
        auto* prompt = dialog->findChild<QLabel*>("wholeNumberPrompt");
        QVERIFY(prompt->isHidden());
        fragment->clear();
        QTest::keyClicks(fragment, "12abc");
        Click(dialog.get(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->result(), 0);
        QVERIFY(prompt->isVisible() && prompt->text().contains("whole number"));
        QCOMPARE(fragment->selectedText(), QString("12abc"));
        QVERIFY2(prompt->geometry().bottom() < dialog->height(), "the prompt lies inside");

        fragment->setText("40000");
        Control<QLineEdit>(dialog.get(), CEvalElementDlg::kIdControl)->setText("-7");
        Click(dialog.get(), 1);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Values(), std::vector<long long>({-7, 40000}));

        request.templateId = kFragRangeTemplate;
        request.fields = {{CFragRangeDlg::kFromControl, "From Frag:", 7},
                          {CFragRangeDlg::kToControl, "To Frag:", 12}};
        const auto range = MakeNumberDialog(request, nullptr);
        range->show();
        Click(range.get(), 1);
        QCOMPARE(range->result(), int(QDialog::Accepted));
        QCOMPARE(range->Values(), std::vector<long long>({0, 12}));
    }

    // Message boxes are captioned with the program and Escape is the safe answer; a preview's
    // sound buttons play and leave it open; a status line goes to the frame's status bar.
    void messageBoxesAndPreviewsAnswerAsAskedAndStatusLinesGoToTheStatusBar() {
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

        // A preview's sound buttons play and leave it open.
        std::vector<int> played(2);
        const std::vector<PreviewSound> sounds = {{"Play &New", [&] { ++played[0]; }},
                                                  {"Play &Current", [&] { ++played[1]; }}};
        QString shown;
        const auto confirm = [&] { return prompter.ConfirmWithPreview("Replace it?", sounds); };
        QVERIFY(Answered(
            [&](QWidget* modal) {
                auto* playNew = modal->findChild<QPushButton*>("previewSound0");
                shown = modal->findChild<QLabel*>("previewText")->text() + " " + playNew->text();
                for (auto* button :
                     {playNew, playNew, modal->findChild<QPushButton*>("previewSound1")})
                    QTest::mouseClick(button, Qt::LeftButton);
                if (!modal->isVisible()) shown += " (closed)";
                modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            },
            confirm));
        QCOMPARE(shown, QString("Replace it? Play &New"));
        QVERIFY(!Answered(Escape, confirm));
        QCOMPARE(played, std::vector<int>({2, 1}));

        QMainWindow frame;
        FramePrompter(&frame).ShowStatus("converted from 48000 Hz stereo 24-bit");
        QCOMPARE(frame.statusBar()->currentMessage(),
                 QString("converted from 48000 Hz stereo 24-bit"));
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

    // Edits go to the document as they are made; Cancel drops only the name.
    void theEvalEditorKeepsIndexesUniqueAndSortedAndShowsPhrasesInItsVoice() {
        using E = CEvalInfoDlg;
        Program p;
        QStringList rows;
        ModalDriver driver;
        driver.WhenModalOpens([&](QWidget* d) {
            rows << Act(p, d, E::kListControl, 4, 0, E::kModifyControl, {2, 4})  // 2 is taken
                 << Act(p, d, E::kListControl, 4, -1, E::kModifyControl, {7, 4})
                 << Act(p, d, E::kListControl, 4, -1, E::kAddControl, {3, 1})
                 << Act(p, d, E::kListControl, 4, 2, E::kModifyControl, {3, 2})  // the new row
                 << Act(p, d, E::kListControl, 4, 0, E::kDeleteControl);
            Control<QLineEdit>(d, E::kNameControl)->setText("renamed");
            Click(d, 2);
        });
        QVERIFY(!RunEvalEditor(nullptr, p.Doc(), 1, 1));
        QVERIFY(!driver.TimedOut());
        QCOMPARE(rows, QStringList({"0 0 2 f2v1, 1 1 3 f3v1, 2 2 0 f0v1",
                                    "0 1 3 f3v1, 1 2 0 f0v1, 2 7 4 f4v1 *",
                                    "0 1 3 f3v1, 1 2 0 f0v1, 2 3 1 f1v1, 3 7 4 f4v1 *",
                                    "0 1 3 f3v1, 1 2 0 f0v1, 2 3 2 f2v1, 3 7 4 f4v1 *",
                                    "0 2 0 f0v1, 1 3 2 f2v1, 2 7 4 f4v1 *"}));
        QCOMPARE(p.prompter.messages,
                 std::vector<std::string>({"Changed failed\nIndex 2 is already in the list"}));
        QVERIFY(p.prompter.questions.empty());  // Delete does not ask
        std::string name;
        p.Doc().GetEvalName(1, name);
        QCOMPARE(name, std::string("1"));
    }

    // Vox indexes are 16-bit: a larger number keeps its low word.
    void theFragEditorKeepsVoicesSortedAndRefusesOneItHasSilently() {
        using F = CFragInfoDlg;
        Program p;
        CFragInfoDlg d(p.Doc(), 4, nullptr);
        d.show();
        const QStringList rows = {
            Act(p, &d, F::kListControl, 3, -1, F::kModifyControl),  // nothing selected
            Act(p, &d, F::kListControl, 3, -1, F::kDeleteControl),
            Act(p, &d, F::kListControl, 3, -1, F::kAddControl, {13, 2}),  // voice 13 is there
            Act(p, &d, F::kListControl, 3, -1, F::kAddControl, {3, 2}),
            Act(p, &d, F::kListControl, 3, 2, F::kModifyControl, {65536 + 5}),
            Act(p, &d, F::kListControl, 3, 0, F::kDeleteControl)};
        QCOMPARE(rows, QStringList({"0 0 6, 1 13 7", "0 0 6, 1 13 7", "0 0 6, 1 13 7",
                                    "0 0 6, 1 3 2, 2 13 7 *", "0 0 6, 1 3 2, 2 13 5 *",
                                    "0 3 2, 1 13 5 *"}));
        QCOMPARE(p.prompter.numberRequests.size(), size_t{3});
        QVERIFY(QString::fromStdString(p.prompter.numberRequests[2].caption).contains("13"));
        QVERIFY(p.prompter.messages.empty() && p.prompter.questions.empty());
    }

    // Matches go to the Result List, none to a message box; Cancel in Find shows neither.
    void theFindDialogsShowTheirResultsOrSayThereAreNone() {
        Program p;
        QtPrompter prompter(nullptr);
        p.Doc().SetPrompter(&prompter);
        // What the dialog after Find showed: the result rows, a message, or "nothing".
        const auto find = [&](const char* text, void (*command)(CVoxbenchDoc&)) {
            ModalDriver dialog;
            ModalDriver answer;
            QString shownText = "nothing";
            dialog.WhenModalOpens([&](QWidget* modal) {
                QTest::keyClicks(Control<QLineEdit>(modal, kFindText), text);
                answer.WhenModalOpens(
                    [&](QWidget* shown) {
                        auto* box = qobject_cast<QMessageBox*>(shown);
                        shownText = box ? box->text() : Rows(shown, kResultList, 1).join(' ');
                        shown->close();
                    },
                    modal, 300);
                Click(modal, text[0] ? 1 : 2);
            });
            command(p.Doc());
            QTest::qWait(400);
            return dialog.Ran() && !dialog.TimedOut() ? shownText : "no Find dialog";
        };
        QCOMPARE(find("4 frags", OnFindFragInCommand), QString("1 2 4"));
        QCOMPARE(find("999", OnFindFragInEval), QString("No matches"));
        QCOMPARE(find("", OnFindEvalInCommand), QString("nothing"));
        QVERIFY(!p.Doc().IsModified());
    }
};

}  // namespace vox::test

QTEST_MAIN(vox::test::DialogsTest)
#include "tst_dialogs.moc"

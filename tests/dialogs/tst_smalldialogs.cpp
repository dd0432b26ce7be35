// The number dialogs, the whole-number rule and the file filter conversion, driven through
// their widgets without exec().
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "ui/dialogs/filefilter.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/wholenumber.h"

namespace vox::test {

class SmallDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    // Whole numbers in the int range, blanks around and a sign allowed; their low word is what
    // a 16-bit field keeps.
    void wholeNumbersAndTheirLowWord() {
        long long parsed = 0;
        for (const auto& [text, value] : {std::pair<const char*, long long>{"  -3 ", -3},
                                          {"+7", 7},
                                          {"2147483647", 2147483647LL},
                                          {"-2147483648", -2147483648LL}}) {
            QVERIFY2(ParseWholeNumber(text, parsed), text);
            QCOMPARE(parsed, value);
        }
        for (const char* text : {"2147483648", "-2147483649", "99999999999999999999999", "", "-",
                                 "12abc", "1 2", "1.5"})
            QVERIFY2(!ParseWholeNumber(text, parsed), text);
        QCOMPARE(LowWord(65536 + 100), int16_t{100});
        QCOMPARE(LowWord(40000), int16_t{40000 - 65536});
        QCOMPARE(LowWord(-32769), int16_t{32767});
        QCOMPARE(LowWord(-1), int16_t{-1});
    }

    void fileFiltersBecomeQtNameFilters() {
        QCOMPARE(ConvertFileFilter("Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||"),
                 QStringList({"Eval Bin Files (*.bin)", "All files (*)"}));
        QCOMPARE(ConvertFileFilter("Wave Files (*.wav)|*.wav;*.wave||"),
                 QStringList({"Wave Files (*.wav *.wave)"}));
        QCOMPARE(ConvertFileFilter("Plain|*.txt||"), QStringList({"Plain (*.txt)"}));
        QCOMPARE(ConvertFileFilter(""), QStringList({"All files (*)"}));
        QCOMPARE(ConvertFileFilter("dangling|"), QStringList({"All files (*)"}));
    }

    void theFragRangeDialogStartsTheFirstFragmentAtZero() {
        NumberDialogRequest range;
        range.templateId = kFragRangeTemplate;
        range.fields = {{CFragRangeDlg::kFromControl, "From Frag:", 7},
                        {CFragRangeDlg::kToControl, "To Frag:", 12}};
        const auto dialog = MakeNumberDialog(range, nullptr);
        dialog->show();
        Click(dialog.get(), 1);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Values(), std::vector<long long>({0, 12}));
    }

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
    }
};

RegisterTest<SmallDialogsTest> registerSmallDialogs;

}  // namespace vox::test

#include "tst_smalldialogs.moc"

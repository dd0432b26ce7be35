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
    void wholeNumberRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("blanks and sign") << "  -3 " << true << -3LL;
        QTest::newRow("plus") << "+7" << true << 7LL;
        QTest::newRow("int max") << "2147483647" << true << 2147483647LL;
        QTest::newRow("int min") << "-2147483648" << true << -2147483648LL;
        QTest::newRow("above int") << "2147483648" << false << 0LL;
        QTest::newRow("below int") << "-2147483649" << false << 0LL;
        QTest::newRow("huge") << "99999999999999999999999" << false << 0LL;
        QTest::newRow("empty") << "" << false << 0LL;
        QTest::newRow("sign only") << "-" << false << 0LL;
        QTest::newRow("trailing letters") << "12abc" << false << 0LL;
        QTest::newRow("inner blank") << "1 2" << false << 0LL;
        QTest::newRow("fraction") << "1.5" << false << 0LL;
    }
    void wholeNumberRule() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(qlonglong, value);
        long long parsed = 0;
        QCOMPARE(ParseWholeNumber(text.toStdString(), parsed), accepted);
        if (accepted) QCOMPARE(parsed, value);
    }

    void lowWordIsTheSigned16BitRemainder() {
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

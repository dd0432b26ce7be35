// The number dialogs, Find, Result List, the whole-number rule and the file filter conversion,
// driven through their widgets without exec().
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/testregistry.h"
#include "ui/dialogs/cfinddlg.h"
#include "ui/dialogs/cresultlistdlg.h"
#include "ui/dialogs/filefilter.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/wholenumber.h"
#include "ui/templates/dialogbuilder.h"

namespace vox::test {
namespace {

template <typename T>
T* Find(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

void ClickOK(QWidget* dialog) { QTest::mouseClick(Find<QPushButton>(dialog, 1), Qt::LeftButton); }

NumberDialogRequest ElementRequest() {
    NumberDialogRequest request;
    request.templateId = kEvalElementTemplate;
    request.caption = "Add new element";
    request.fields = {{CEvalElementDlg::kIdControl, "Id", 0},
                      {CEvalElementDlg::kFragmentControl, "Fragment", 0}};
    return request;
}

}  // namespace

class SmallDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void wholeNumberRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("plain") << "12" << true << 12LL;
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

    void elementDialogUsesItsTemplateAndTheCallersCaption() {
        const auto dialog = MakeNumberDialog(ElementRequest(), nullptr);
        QVERIFY(dynamic_cast<CEvalElementDlg*>(dialog.get()) != nullptr);
        QCOMPARE(dialog->windowTitle(), QString("Add new element"));
        const DialogUnits units = DialogUnits::ForWidget(dialog.get());
        QCOMPARE(dialog->size(), units.Size(187, 49));
        auto* id = Find<QLineEdit>(dialog.get(), 1090);
        auto* fragment = Find<QLineEdit>(dialog.get(), 1089);
        QVERIFY(id && fragment);
        QCOMPARE(id->geometry(), units.Rect(58, 6, 40, 14));
        QCOMPARE(fragment->geometry(), units.Rect(58, 28, 40, 14));
        QCOMPARE(id->text(), QString("0"));
        QCOMPARE(fragment->text(), QString("0"));
    }

    void fragRangeDialogStartsTheFirstFragmentAtZero() {
        NumberDialogRequest range;
        range.templateId = kFragRangeTemplate;
        range.caption = "Choose a fragment range to save";
        range.fields = {{CFragRangeDlg::kFromControl, "From Frag:", 7},
                        {CFragRangeDlg::kToControl, "To Frag:", 12}};
        const auto dialog = MakeNumberDialog(range, nullptr);
        QVERIFY(dynamic_cast<CFragRangeDlg*>(dialog.get()) != nullptr);
        QCOMPARE(Find<QLineEdit>(dialog.get(), 1149)->text(), QString("0"));
        QCOMPARE(Find<QLineEdit>(dialog.get(), 1147)->text(), QString("12"));
        dialog->show();
        ClickOK(dialog.get());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Values(), std::vector<long long>({0, 12}));
    }

    void nonNumbersKeepTheDialogOpenWithAPromptUntilCorrected() {
        const auto dialog = MakeNumberDialog(ElementRequest(), nullptr);
        dialog->show();
        auto* fragment = Find<QLineEdit>(dialog.get(), 1089);
        auto* prompt = dialog->findChild<QLabel*>("wholeNumberPrompt");
        QVERIFY(prompt != nullptr);
        QVERIFY(prompt->isHidden());
        fragment->clear();
        QTest::keyClicks(fragment, "12abc");
        ClickOK(dialog.get());
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->result(), 0);
        QVERIFY(!prompt->isHidden());
        QVERIFY(prompt->text().contains("whole number"));
        QCOMPARE(fragment->selectedText(), QString("12abc"));
        QVERIFY2(prompt->geometry().bottom() < dialog->height(), "the prompt lies inside");

        fragment->setText("40000");
        Find<QLineEdit>(dialog.get(), 1090)->setText("-7");
        ClickOK(dialog.get());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Values(), std::vector<long long>({-7, 40000}));
    }
};

RegisterTest<SmallDialogsTest> registerSmallDialogs;

}  // namespace vox::test

#include "tst_smalldialogs.moc"

// The eval and frag editors driven through their buttons and lists, with the element dialogs
// answered by the script; the searches through the real Find and Result List dialogs.
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "tests/ui/formfixture.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/editors.h"
#include "ui/dialogs/qtprompter.h"
#include "ui/documentcommands.h"

namespace vox::test {
namespace {

constexpr int kFindText = 1094;
constexpr int kResultList = 1095;

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

class EditorsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

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

RegisterTest<EditorsTest> registerEditors;

}  // namespace vox::test

#include "tst_editors.moc"

// The eval editor driven through its buttons and list, with the element dialog answered by the
// script: sorted inserts, refusals, 16-bit truncation, Modify, Delete, names and resizing.
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSizeGrip>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/editorfixture.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/editors.h"
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

QTreeWidget* List(QWidget* dialog) { return Find<QTreeWidget>(dialog, CEvalInfoDlg::kListControl); }

// Each row as "number index frag string".
QStringList Rows(QWidget* dialog) {
    QStringList rows;
    QTreeWidget* list = List(dialog);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << QStringList({item->text(0), item->text(1), item->text(2), item->text(3)}).join(' ');
    }
    return rows;
}

void Select(QWidget* dialog, int row) { List(dialog)->topLevelItem(row)->setSelected(true); }

std::vector<EvalElement> Alternatives(const CVoxbenchDoc& doc, int eval) {
    std::vector<EvalElement> out;
    ListRecord record;
    if (!doc.GetEvalRecord(eval, record)) return out;
    EvalElement element;
    for (int position = 0; doc.GetEvalElement(record, position, element); ++position) {
        out.push_back(element);
    }
    return out;
}

QString Describe(const std::vector<EvalElement>& elements) {
    QStringList parts;
    for (const EvalElement& e : elements) parts << QString("%1:%2").arg(e.index).arg(e.frag);
    return parts.join(' ');
}

// Pixels of a list cell that differ from the list's background: text drawn there.
int InkIn(QTreeWidget* list, QRect row, int column) {
    const int left = list->header()->sectionViewportPosition(column);
    const QRect cell(left, row.top(), list->header()->sectionSize(column), row.height());
    const QImage image = list->viewport()->grab(cell).toImage();
    const QRgb background = list->viewport()->palette().color(QPalette::Base).rgb();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) ink += image.pixel(x, y) != background ? 1 : 0;
    }
    return ink;
}

}  // namespace

class EvalEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void opensWithNumberNameColumnsAndPhrasesInTheVoice() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "greeting", 1, nullptr);
        QCOMPARE(dialog.windowTitle(), QString("Eval Information"));
        QCOMPARE(Find<QLineEdit>(&dialog, 1079)->text(), QString("0"));
        QVERIFY(Find<QLineEdit>(&dialog, 1079)->isReadOnly());
        QCOMPARE(Find<QLineEdit>(&dialog, 1072)->text(), QString("greeting"));
        QTreeWidget* list = List(&dialog);
        const QStringList titles = {"Number", "Index", "Frag", "String"};
        const int widths[] = {40, 40, 40, 100};
        QCOMPARE(list->columnCount(), 4);
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(list->headerItem()->text(c), titles[c]);
            QVERIFY(list->header()->sectionSize(c) >= widths[c]);  // wider for a long title
        }
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(Rows(&dialog), QStringList({"0 1 5 five-1", "1 9 6 six-1"}));
        QCOMPARE(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);
    }

    void addInsertsInIndexOrderAndModifyChangesTheRowItShows() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        f.prompter.AnswerNumbers(std::vector<long long>{0, 8});  // id 0 sorts first
        Click(&dialog, CEvalInfoDlg::kAddControl);
        QCOMPARE(f.prompter.numberRequests.size(), size_t{1});
        const NumberDialogRequest& add = f.prompter.numberRequests[0];
        QCOMPARE(add.templateId, 133);
        QCOMPARE(QString::fromStdString(add.caption), QString("Add new element"));
        QCOMPARE(add.fields.size(), size_t{2});
        QCOMPARE(add.fields[0].controlId, 1090);
        QCOMPARE(add.fields[0].value, 0LL);
        QCOMPARE(add.fields[1].controlId, 1089);
        QCOMPARE(Rows(&dialog), QStringList({"0 0 8 eight-0", "1 1 5 five-0", "2 9 6 six-0"}));
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(List(&dialog)->topLevelItem(row)->data(0, Qt::UserRole).toInt(), row);
        }
        QVERIFY(f.doc->IsModified());

        // Row 1 now shows index 1; Modify must change exactly that alternative.
        Select(&dialog, 1);
        f.prompter.AnswerNumbers(std::vector<long long>{1, 100});
        Click(&dialog, CEvalInfoDlg::kModifyControl);
        const NumberDialogRequest& change = f.prompter.numberRequests[1];
        QCOMPARE(QString::fromStdString(change.caption), QString("Change Element"));
        QCOMPARE(change.fields[0].value, 1LL);
        QCOMPARE(change.fields[1].value, 5LL);
        QCOMPARE(Describe(Alternatives(*f.doc, 0)), QString("0:8 1:100 9:6"));
        QCOMPARE(Rows(&dialog), QStringList({"0 0 8 eight-0", "1 1 100 hundred-0", "2 9 6 six-0"}));
        QVERIFY(f.prompter.messages.empty());
    }

    void duplicateIndexIsRefusedSilently() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        const QStringList before = Rows(&dialog);
        f.prompter.AnswerNumbers(std::vector<long long>{9, 3});
        Click(&dialog, CEvalInfoDlg::kAddControl);
        QCOMPARE(Rows(&dialog), before);
        QVERIFY(f.prompter.messages.empty());
        QVERIFY(!f.doc->IsModified());
        QCOMPARE(f.prompter.unexpectedQuestions, 0);
    }

    void typedNumbersAreStoredAsTheirLow16Bits() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 3, "3", 0, nullptr);
        dialog.show();
        f.prompter.AnswerNumbers(std::vector<long long>{65536 + 5, 65536 + 100});
        Click(&dialog, CEvalInfoDlg::kAddControl);
        f.prompter.AnswerNumbers(std::vector<long long>{6, 40000});
        Click(&dialog, CEvalInfoDlg::kAddControl);
        QCOMPARE(Describe(Alternatives(*f.doc, 3)), QString("5:100 6:-25536"));
        QCOMPARE(Rows(&dialog), QStringList({"0 5 100 hundred-0", "1 6 -25536 "}));
    }

    void modifyWithoutSelectionAsksNothing() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        Click(&dialog, CEvalInfoDlg::kModifyControl);
        Click(&dialog, CEvalInfoDlg::kDeleteControl);
        QVERIFY(f.prompter.numberRequests.empty());
        QCOMPARE(Alternatives(*f.doc, 0).size(), size_t{2});
        QVERIFY(!f.doc->IsModified());
    }

    void modifyKeepsIndexesUniqueAndSorted() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        Select(&dialog, 0);
        f.prompter.AnswerNumbers(std::vector<long long>{9, 8});  // index 9 is taken
        Click(&dialog, CEvalInfoDlg::kModifyControl);
        QCOMPARE(f.prompter.messages,
                 std::vector<std::string>({"Changed failed\nIndex 9 is already in the list"}));
        QCOMPARE(Rows(&dialog), QStringList({"0 1 5 five-0", "1 9 6 six-0"}));
        QVERIFY(!f.doc->IsModified());

        f.prompter.AnswerNumbers(std::vector<long long>{12, 8});  // moves behind index 9
        Click(&dialog, CEvalInfoDlg::kModifyControl);
        QCOMPARE(Describe(Alternatives(*f.doc, 0)), QString("9:6 12:8"));
        QCOMPARE(Rows(&dialog), QStringList({"0 9 6 six-0", "1 12 8 eight-0"}));
        QVERIFY(List(&dialog)->topLevelItem(1)->isSelected());
        QVERIFY(f.doc->IsModified());
    }

    void deleteAsksThenRemovesTheSelectedAlternative() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        Select(&dialog, 0);
        f.prompter.AnswerYesNoCancel(Answer::No);
        Click(&dialog, CEvalInfoDlg::kDeleteControl);
        QCOMPARE(f.prompter.questions,
                 std::vector<std::string>{"Delete the alternative with index 1 (fragment 5)?"});
        QVERIFY(!f.doc->IsModified());
        f.prompter.AnswerYesNoCancel(Answer::Yes);
        Click(&dialog, CEvalInfoDlg::kDeleteControl);
        QCOMPARE(Describe(Alternatives(*f.doc, 0)), QString("9:6"));
        QCOMPARE(Rows(&dialog), QStringList({"0 9 6 six-0"}));
        QVERIFY(f.doc->IsModified());
        // The later evals moved with the removal.
        QCOMPARE(Describe(Alternatives(*f.doc, 1)), QString("0:1"));
        QCOMPARE(Describe(Alternatives(*f.doc, 4)), QString("2:12"));
    }

    void cancelAfterAddingKeepsTheAdditionButNotTheName() {
        EditorFixture f;
        ModalDriver driver;
        f.prompter.AnswerNumbers(std::vector<long long>{5, 8});
        driver.WhenModalOpens([&](QWidget* modal) {
            Click(modal, CEvalInfoDlg::kAddControl);
            Find<QLineEdit>(modal, 1072)->setText("renamed");
            Click(modal, 2);
        });
        QVERIFY(!RunEvalEditor(nullptr, *f.doc, 1, 0));
        QVERIFY(!driver.TimedOut());
        QCOMPARE(Describe(Alternatives(*f.doc, 1)), QString("0:1 5:8"));
        QVERIFY(f.doc->IsModified());
        std::string name;
        f.doc->GetEvalName(1, name);
        QCOMPARE(name, std::string("1"));
        QCOMPARE(f.view.updates, 0);
        f.doc->SaveEvalNames();
        QCOMPARE(f.profile.GetInt("EvalNames", "MaxEvals", -1), 0);
    }

    void confirmingAnUnnamedEvalStoresItsNumberAndRefreshesTheViews() {
        EditorFixture f;
        ModalDriver driver;
        QString shownName;
        driver.WhenModalOpens([&](QWidget* modal) {
            shownName = Find<QLineEdit>(modal, 1072)->text();
            Click(modal, 1);
        });
        QVERIFY(RunEvalEditor(nullptr, *f.doc, 2, 0));
        QVERIFY(!driver.TimedOut());
        QCOMPARE(shownName, QString("2"));
        QVERIFY(f.view.updates > 0);
        f.doc->SaveEvalNames();
        QCOMPARE(f.profile.GetInt("EvalNames", "MaxEvals", -1), 3);
        QCOMPARE(f.profile.GetString("EvalNames", "EvalName2", "<none>"), std::string("2"));
        QVERIFY2(!f.doc->IsModified(), "a name is not part of the tables");
    }

    void renameIsStoredOnOK() {
        EditorFixture f;
        ModalDriver driver;
        driver.WhenModalOpens([&](QWidget* modal) {
            Find<QLineEdit>(modal, 1072)->setText("colours");
            Click(modal, 1);
        });
        QVERIFY(RunEvalEditor(nullptr, *f.doc, 4, 0));
        std::string name;
        f.doc->GetEvalName(4, name);
        QCOMPARE(name, std::string("colours"));
    }

    void anEvalOutsideTheTableOpensNothing() {
        EditorFixture f;
        ModalDriver driver;
        driver.WhenModalOpens([](QWidget* modal) { Click(modal, 2); }, nullptr, 300);
        QVERIFY(!RunEvalEditor(nullptr, *f.doc, 5, 0));
        QTest::qWait(50);
        QVERIFY(!driver.Ran());
    }

    void resizingKeepsTheMinimumMovesButtonsAndGrowsTheList() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        const DialogUnits units = DialogUnits::ForWidget(&dialog);
        const QSize templateSize = units.Size(223, 122);
        QCOMPARE(dialog.minimumSize(), templateSize);
        QCOMPARE(CEvalInfoDlg::EnlargedSize(QSize(335, 198)), QSize(335 + 2 * 67, 198 + 2 * 39));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size(), CEvalInfoDlg::EnlargedSize(templateSize));
        QVERIFY(dialog.findChild<QSizeGrip*>() != nullptr);
        QVERIFY(dialog.isSizeGripEnabled());

        dialog.resize(templateSize - QSize(60, 40));
        QCOMPARE(dialog.size(), templateSize);

        auto geometry = [&](int id) { return Find<QWidget>(&dialog, id)->geometry(); };
        const QRect ok = geometry(1);
        const QRect del = geometry(CEvalInfoDlg::kDeleteControl);
        const QRect list = geometry(CEvalInfoDlg::kListControl);
        const QRect name = geometry(1072);
        const QRect number = geometry(1079);
        QCOMPARE(dialog.width() - ok.right(), units.X(7) + 1);
        QCOMPARE(ok.top(), units.Y(7));
        QVERIFY(qAbs(del.top() - units.Y(94)) <= 1);  // the layout's spacings round per gap
        QCOMPARE(list.topLeft(), QPoint(units.X(7), units.Y(48)));
        QVERIFY(qAbs(list.width() - units.X(149)) <= 1);
        QVERIFY(qAbs(name.width() - units.X(102)) <= 1);

        dialog.resize(templateSize + QSize(100, 80));
        QCOMPARE(geometry(1).topLeft(), ok.topLeft() + QPoint(100, 0));
        QCOMPARE(geometry(CEvalInfoDlg::kDeleteControl).topLeft(), del.topLeft() + QPoint(100, 0));
        QCOMPARE(geometry(CEvalInfoDlg::kListControl).topLeft(), list.topLeft());
        QCOMPARE(geometry(CEvalInfoDlg::kListControl).size(), list.size() + QSize(100, 80));
        QCOMPARE(geometry(1072).width(), name.width() + 100);
        QCOMPARE(geometry(1079), number);
        const QSizeGrip* grip = dialog.findChild<QSizeGrip*>();
        QVERIFY(grip->isVisible());
        QCOMPARE(grip->geometry().bottomRight(), dialog.rect().bottomRight());
    }

    void stringColumnKeepsItsWidthAtTheOpeningSizeAndTakesWhatTheListGains() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 1, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeWidget* list = List(&dialog);
        const QSize opening = dialog.size();
        const int openingListWidth = list->width();
        const int numberWidth = list->header()->sectionSize(0);
        QCOMPARE(list->header()->sectionSize(3), 100);

        dialog.resize(opening + QSize(150, 30));
        QCOMPARE(list->width(), openingListWidth + 150);
        QCOMPARE(list->header()->sectionSize(3), 250);
        QCOMPARE(list->header()->sectionSize(0), numberWidth);
        for (int c = 1; c < 3; ++c) QCOMPARE(list->header()->sectionSize(c), 40);

        // Below the opening size the column keeps its template width; the list scrolls.
        dialog.resize(dialog.minimumSize());
        QVERIFY(list->width() < openingListWidth);
        QCOMPARE(list->header()->sectionSize(3), 100);
        dialog.resize(opening);
        QCOMPARE(list->header()->sectionSize(3), 100);
    }

    void stringCellsCarryThePhraseAsTooltipAndAMissingPhraseOnlyAsAPlaceholder() {
        EditorFixture f;
        // Eval 4 chooses fragment 12, which has no phrase; eval 0 has phrases in voice 1.
        CEvalInfoDlg withPhrases(*f.doc, 0, "0", 1, nullptr);
        QTreeWidget* list = List(&withPhrases);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = list->topLevelItem(row);
            const std::string phrase = f.doc->GetPhrase(item->text(2).toInt(), 1);
            QVERIFY(!phrase.empty());
            QCOMPARE(item->toolTip(3), QString::fromStdString(phrase));
        }

        CEvalInfoDlg without(*f.doc, 4, "4", 1, nullptr);
        without.show();
        QVERIFY(QTest::qWaitForWindowExposed(&without));
        QTreeWidget* bare = List(&without);
        QCOMPARE(bare->topLevelItemCount(), 1);
        QTreeWidgetItem* item = bare->topLevelItem(0);
        QCOMPARE(Rows(&without), QStringList({"0 2 12 "}));
        QCOMPARE(bare->model()->index(0, 3).data(Qt::DisplayRole).toString(), QString());
        QCOMPARE(item->toolTip(3), QString("no phrase for fragment 12 in voice 1"));
        // The placeholder is drawn: the cell shows more than it does without one.
        const int withPlaceholder = InkIn(bare, bare->visualItemRect(item), 3);
        const QVariant placeholder = item->data(3, Qt::UserRole + 1);
        item->setData(3, Qt::UserRole + 1, QVariant());
        QVERIFY(withPlaceholder > InkIn(bare, bare->visualItemRect(item), 3));
        item->setData(3, Qt::UserRole + 1, placeholder);

        // Modify to a fragment with a phrase: the placeholder and its tooltip go.
        bare->topLevelItem(0)->setSelected(true);
        f.prompter.AnswerNumbers(std::vector<long long>{2, 5});
        Click(&without, CEvalInfoDlg::kModifyControl);
        QCOMPARE(Rows(&without), QStringList({"0 2 5 five-1"}));
        QCOMPARE(bare->topLevelItem(0)->toolTip(3), QString("five-1"));
        QVERIFY(!bare->topLevelItem(0)->data(3, Qt::UserRole + 1).isValid());
    }
};

RegisterTest<EvalEditorTest> registerEvalEditor;

}  // namespace vox::test

#include "tst_evaleditor.moc"

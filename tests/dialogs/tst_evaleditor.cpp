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

    void deleteRemovesTheSelectedAlternativeWithoutAsking() {
        EditorFixture f;
        CEvalInfoDlg dialog(*f.doc, 0, "0", 0, nullptr);
        dialog.show();
        Select(&dialog, 0);
        Click(&dialog, CEvalInfoDlg::kDeleteControl);
        QVERIFY(f.prompter.questions.empty());
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
};

RegisterTest<EvalEditorTest> registerEvalEditor;

}  // namespace vox::test

#include "tst_evaleditor.moc"

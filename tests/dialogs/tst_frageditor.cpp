// The frag editor driven through its buttons and list: sorted voices, refusals, 16-bit vox
// indexes, Modify and Delete, and what stays after Cancel.
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "tests/dialogs/editorfixture.h"
#include "tests/dialogs/modaldriver.h"
#include "tests/dialogs/testregistry.h"
#include "ui/dialogs/cfraginfodlg.h"
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

QTreeWidget* List(QWidget* dialog) { return Find<QTreeWidget>(dialog, CFragInfoDlg::kListControl); }

// Each row as "number voice index".
QStringList Rows(QWidget* dialog) {
    QStringList rows;
    QTreeWidget* list = List(dialog);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QString row = QStringList({item->text(0), item->text(1), item->text(2)}).join(' ');
        const int data = item->data(0, Qt::UserRole).toInt();
        if (data != i) row += QString(" (item data %1)").arg(data);  // must be the position
        rows << row;
    }
    return rows;
}

QString Voices(const CVoxbenchDoc& doc, int frag) {
    QStringList parts;
    ListRecord record;
    if (!doc.GetFragRecord(frag, record)) return "<none>";
    FragElement element;
    for (int position = 0; doc.GetFragElement(record, position, element); ++position) {
        parts << QString("%1:%2").arg(element.voice).arg(element.voxIndex);
    }
    return parts.join(' ');
}

}  // namespace

class FragEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { RejectAllModals(); }

    void addingAVoiceShowsItInVoiceOrder() {
        EditorFixture f;
        CFragInfoDlg dialog(*f.doc, 0, nullptr);
        dialog.show();
        f.prompter.AnswerNumbers(std::vector<long long>{3, 0});
        Click(&dialog, CFragInfoDlg::kAddControl);
        QCOMPARE(f.prompter.numberRequests.size(), size_t{1});
        const NumberDialogRequest& add = f.prompter.numberRequests[0];
        QCOMPARE(add.templateId, 134);
        QCOMPARE(QString::fromStdString(add.caption), QString("Add Frag Element"));
        QCOMPARE(add.fields[0].controlId, 1092);
        QCOMPARE(add.fields[1].controlId, 1091);
        QCOMPARE(add.fields[0].value, 0LL);
        QCOMPARE(add.fields[1].value, 0LL);
        QCOMPARE(Rows(&dialog), QStringList({"0 1 0", "1 3 0", "2 5 0"}));
        QVERIFY(f.doc->IsModified());
        QVERIFY(f.doc->GetFragTable().IsModified());
    }

    void aVoiceTheFragmentHasIsRefusedSilently() {
        EditorFixture f;
        CFragInfoDlg dialog(*f.doc, 0, nullptr);
        dialog.show();
        f.prompter.AnswerNumbers(std::vector<long long>{5, 0});
        Click(&dialog, CFragInfoDlg::kAddControl);
        QCOMPARE(Rows(&dialog), QStringList({"0 1 0", "1 5 0"}));
        QVERIFY(f.prompter.messages.empty());
        QVERIFY(!f.doc->IsModified());
    }

    void modifyRepointsTheSelectedVoice() {
        EditorFixture f;
        CFragInfoDlg dialog(*f.doc, 0, nullptr);
        dialog.show();
        Click(&dialog, CFragInfoDlg::kModifyControl);
        QVERIFY2(f.prompter.numberRequests.empty(), "nothing selected, nothing asked");
        List(&dialog)->topLevelItem(1)->setSelected(true);
        f.prompter.AnswerNumbers(std::vector<long long>{65536 + 7});
        Click(&dialog, CFragInfoDlg::kModifyControl);
        QCOMPARE(f.prompter.numberRequests.size(), size_t{1});
        const NumberDialogRequest& change = f.prompter.numberRequests[0];
        QCOMPARE(change.fields.size(), size_t{1});
        QCOMPARE(change.fields[0].value, 0LL);
        QVERIFY(QString::fromStdString(change.caption).contains("Voice 5"));
        QCOMPARE(Rows(&dialog), QStringList({"0 1 0", "1 5 7"}));
        QCOMPARE(Voices(*f.doc, 0), QString("1:0 5:7"));
        QVERIFY(f.doc->IsModified());
    }

    void deleteRemovesTheSelectedVoiceAndKeepsLaterFragments() {
        EditorFixture f;
        CFragInfoDlg dialog(*f.doc, 0, nullptr);
        dialog.show();
        Click(&dialog, CFragInfoDlg::kDeleteControl);
        QVERIFY(!f.doc->IsModified());
        List(&dialog)->topLevelItem(0)->setSelected(true);
        Click(&dialog, CFragInfoDlg::kDeleteControl);
        QVERIFY(f.prompter.questions.empty());
        QCOMPARE(Rows(&dialog), QStringList({"0 5 0"}));
        QCOMPARE(Voices(*f.doc, 0), QString("5:0"));
        QCOMPARE(Voices(*f.doc, 1), QString("0:0"));
        QCOMPARE(Voices(*f.doc, 12), QString("0:0"));
        QVERIFY(f.doc->IsModified());
    }
};

RegisterTest<FragEditorTest> registerFragEditor;

}  // namespace vox::test

#include "tst_frageditor.moc"

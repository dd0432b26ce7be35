// The sequence phrase field read at a glance: each slot's phrase tinted, tooltips naming the
// slot, and the text itself exactly as the form has always written it.
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>
#include <fstream>

#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/formids.h"

using namespace vox;
using namespace vox::form;
using vox::test::FormFixture;

namespace {

// What a slot should show, worked out from the slots' Frag fields and the document alone.
struct Expected {
    int start;
    QString phrase;
};

std::vector<Expected> ExpectedPhrases(FormFixture& f, int count) {
    std::vector<Expected> out;
    int position = 0;
    for (int slot = 0; slot < count; ++slot) {
        const int fragment = f.Text(kFragBase + slot).toInt();
        const QString phrase =
            QString::fromStdString(f.Doc().GetPhrase(fragment, f.View().CommVoice()));
        ++position;  // the blank before each phrase
        out.push_back({position, phrase});
        position += static_cast<int>(phrase.size());
    }
    return out;
}

QPlainTextEdit* SequenceField(FormFixture& f) {
    return f.View().findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(kSequenceText));
}

// Every tint covers exactly its slot's phrase (its blank when the phrase is empty), in slot
// order, and neighbours differ.
void CheckTints(FormFixture& f, int count) {
    const std::vector<Expected> expected = ExpectedPhrases(f, count);
    const QList<QTextEdit::ExtraSelection> tints = SequenceField(f)->extraSelections();
    QCOMPARE(static_cast<int>(tints.size()), count);
    for (int slot = 0; slot < count; ++slot) {
        const QTextCursor& cursor = tints[slot].cursor;
        const Expected& want = expected[slot];
        const int start = want.phrase.isEmpty() ? want.start - 1 : want.start;
        const int length = want.phrase.isEmpty() ? 1 : static_cast<int>(want.phrase.size());
        QCOMPARE(cursor.selectionStart(), start);
        QCOMPARE(cursor.selectionEnd(), start + length);
        QCOMPARE(cursor.selectedText(), want.phrase.isEmpty() ? QString(" ") : want.phrase);
        if (slot > 0) {
            QVERIFY(tints[slot].format.background() != tints[slot - 1].format.background());
        }
    }
}

}  // namespace

class SequencePhraseMarksTest : public QObject {
    Q_OBJECT

  private slots:
    void tintsCoverEachSlotsPhraseThroughRefreshesAndRebuilds() {
        FormFixture f;
        // Comm 0: fragment 2, eval 1 (first alternative fragment 2), fragment 3.
        QCOMPARE(f.Text(kSequenceText), QString(" f2v0 f2v0 f3v0"));
        CheckTints(f, 3);

        f.Click(kElemPlusBase + 1);  // eval 1 now chooses fragment 3
        QCOMPARE(f.Text(kSequenceText), QString(" f2v0 f3v0 f3v0"));
        CheckTints(f, 3);

        f.Type(kCommVoice, "5");  // no phrases in voice 5: three blanks, each still marked
        QCOMPARE(f.Text(kSequenceText), QString("   "));
        CheckTints(f, 3);

        f.Type(kCommVoice, "0");
        f.Type(kCommIndex, "2");  // twenty entries, fifteen shown
        CheckTints(f, 15);
        f.Type(kCommIndex, "4");  // an eval slot, then fragment 0
        CheckTints(f, 2);
    }

    // Phrases are counted in the field's own characters, not in the bytes of the phrase file.
    void phrasesBeyondAsciiAreCoveredExactly() {
        FormFixture f;
        const std::string path = f.Dir().File("wide.csv");
        std::ofstream(path, std::ios::binary) << "Fragment,Notes,Voice 0\n2,x,gr\xC3\xBC\xC3\x9F "
                                                 "dich \xF0\x9F\x98\x80\n3,x,\xE2\x82\xAC\n";
        f.Doc().LoadPhraseFile(path);
        f.View().RefreshComm(0);
        QCOMPARE(f.Text(kSequenceText),
                 QString::fromUtf8(" gr\xC3\xBC\xC3\x9F dich \xF0\x9F\x98\x80 gr\xC3\xBC"
                                   "\xC3\x9F dich \xF0\x9F\x98\x80 \xE2\x82\xAC"));
        CheckTints(f, 3);
    }
};

int RunSequencePhraseMarksTest(int argc, char** argv) {
    SequencePhraseMarksTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_sequencephrasemarks.moc"

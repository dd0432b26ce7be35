// The main form's navigation rules, driven through its widgets.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/formids.h"

using namespace vox;
using namespace vox::form;
using vox::test::FormFixture;
using Entries = std::vector<int>;

namespace {
const std::string kNoFile = "No Voxfile loaded!";
}

class FormNavigationTest : public QObject {
    Q_OBJECT

  private slots:
    void withoutFileEveryNumberIsZeroAndGuardedActionsOnlyComplain() {
        FormFixture f(false);
        for (int id :
             {kFragment, kFragCount, kVoice, kCommIndex, kCommCount, kEvalCount, kCommVoice}) {
            QCOMPARE(f.Text(id), QString("0"));
        }
        for (int id : {kVoiceCount, kVoxIndex, kVoxSize1}) QCOMPARE(f.Text(id), QString());
        for (int id : {kFragPlus, kFragMinus, kVoicePlus, kVoiceMinus, kCommPlus, kCommMinus,
                       kCommVoicePlus, kCommVoiceMinus, kElemPlusBase, kElemMinusBase + 3}) {
            f.Click(id);
        }
        QCOMPARE(f.Prompter().messages, std::vector<std::string>(10, kNoFile));
        QCOMPARE(f.Text(kFragment), QString("0"));
        QCOMPARE(f.Text(kCommVoice), QString("0"));
        QVERIFY(f.PlayedSoFar().empty());
    }

    void openingFillsBothHalves() {
        FormFixture f;
        QCOMPARE(f.Text(kFragCount), QString("5"));
        QCOMPARE(f.Text(kCommCount), QString("5"));
        QCOMPARE(f.Text(kEvalCount), QString("3"));
        QCOMPARE(f.Text(kVoiceCount), QString("2"));
        QCOMPARE(f.Text(kVoxIndex), QString("0"));
        VoxEntry entry;
        QVERIFY(f.Doc().GetVoxEntry(0, entry));
        QCOMPARE(f.Text(kVoxSize1), QString::number(entry.codedSize));
        QCOMPARE(f.Text(kVoxSize2), QString("640"));
        QCOMPARE(f.Text(kPhrase), QString("f0v0"));
        QCOMPARE(f.Text(kWarp), QString("5"));
        QCOMPARE(f.Text(kPriority), QString("7"));
        QCOMPARE(f.Text(kPosition), QString("9"));
        QCOMPARE(f.Text(kBullseye), QString("-3"));
        QCOMPARE(f.Text(kElements), QString("3"));
        QCOMPARE(f.Text(kEvals), QString("1"));
        QCOMPARE(f.Text(kCommName), QString("Greeting"));
        QCOMPARE(f.Text(kSequenceText), QString(" f2v0 f2v0 f3v0"));
    }

    void anEvalSlotShowsItsCountFirstElementAndName() {
        FormFixture f;
        QCOMPARE(f.Text(kNumberBase + 1), QString("3"));
        QCOMPARE(f.Text(kElemIndBase + 1), QString("0"));
        QVERIFY(f.Enabled(kElemIndBase + 1));
        QCOMPARE(f.Text(kFragBase + 1), QString("2"));
        QCOMPARE(f.Text(kEvalButtonBase + 1), QString("1"));  // no name stored: the number
        QVERIFY(f.Enabled(kEvalButtonBase + 1));
    }

    void fragmentPlusStepsAndStopsAtTheLastFragment() {
        FormFixture f;
        f.Click(kFragPlus);
        QCOMPARE(f.Text(kFragment), QString("1"));
        QCOMPARE(f.Text(kVoiceCount), QString("1"));
        QCOMPARE(f.Text(kVoxIndex), QString("2"));
        f.Type(kFragment, "4");
        f.Click(kFragPlus);
        QCOMPARE(f.Text(kFragment), QString("4"));
        QCOMPARE(f.Played(2), Entries({2, 6}));
    }

    void commStepsStayInsideTheTableAndPlayTheSequence() {
        FormFixture f;
        f.Click(kCommMinus);
        QCOMPARE(f.Text(kCommIndex), QString("0"));
        f.Type(kCommIndex, "4");
        f.Click(kCommPlus);
        QCOMPARE(f.Text(kCommIndex), QString("4"));
        f.Type(kCommIndex, "0");
        f.Click(kCommPlus);
        QCOMPARE(f.Text(kCommIndex), QString("1"));
        QCOMPARE(f.Text(kElements), QString("1"));
        QCOMPARE(f.Text(kCommName), QString("Warning"));
        // comm 0 stops at fragment 3, which has no voice 0; comm 4 is eval 2 (fragment 4)
        // and fragment 0; comm 1 is fragment 4.
        QCOMPARE(f.Played(5), Entries({3, 3, 6, 0, 6}));
    }

    void commVoiceStepsRebuildTheSequenceAndPlayIt() {
        FormFixture f;
        f.Click(kCommVoiceMinus);
        QCOMPARE(f.Text(kCommVoice), QString("0"));
        f.Click(kCommVoicePlus);
        QCOMPARE(f.Text(kCommVoice), QString("1"));
        QCOMPARE(f.Text(kSequenceText), QString(" f2v1 f2v1 f3v1"));
        QCOMPARE(f.Played(5), Entries({3, 3, 4, 4, 5}));
    }

    void elementPlusChoosesTheNextAlternative() {
        FormFixture f;
        f.Click(kElemPlusBase + 1);
        QCOMPARE(f.Text(kElemIndBase + 1), QString("1"));
        QCOMPARE(f.Text(kFragBase + 1), QString("3"));
        QCOMPARE(f.Text(kSequenceText), QString(" f2v0 f3v0 f3v0"));
        QCOMPARE(f.Played(1), Entries({3}));  // fragment 3 has no voice 0: the sequence stops
    }

    void anEvalMissingFromTheTableGivesASlotThatPlaysNothing() {
        FormFixture f;
        f.Type(kCommIndex, "3");
        QCOMPARE(f.Text(kNumberBase), QString("0"));
        QCOMPARE(f.Text(kFragBase), QString("-1"));
        QCOMPARE(f.Text(kEvalButtonBase), QString("7"));
        QVERIFY(!f.Enabled(kEvalButtonBase));
        QVERIFY(!f.Enabled(kElemIndBase));
        f.Click(kPlaySequence);
        f.Click(kElemPlusBase);
        QVERIFY(f.PlayedSoFar().empty());
    }
};

int RunFormNavigationTest(int argc, char** argv) {
    FormNavigationTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_formnavigation.moc"

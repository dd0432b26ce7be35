// The main form driven through its widgets: what it shows, where its buttons step and what they
// play, the actions and their dialogs, and the tinted phrases of the sequence field.
#include <unistd.h>

#include <QPlainTextEdit>
#include <QTest>
#include <fstream>

#include "tests/dialogs/testregistry.h"
#include "tests/support/soundfiles.h"
#include "tests/ui/formfixture.h"
#include "ui/formids.h"

namespace vox::test {
namespace {

using namespace vox::form;
using Entries = std::vector<int>;

// The fields' texts joined by "|".
QString Texts(Program& p, std::initializer_list<int> ids) {
    QStringList texts;
    for (int id : ids) texts << p.Text(id);
    return texts.join('|');
}

// Half a second at 48 kHz, stereo: 4000 samples once converted, which the test sounds count
// as "entry 23" (an entry k lasts k + 2 codec frames).
std::string WriteStudioTake(Program& p) {
    WriteFileBytes(p.dir.File("take.wav"), SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000,
                                                          2, SineFrames(440, 0.18, 48000, 2, 0.5)));
    return p.dir.File("take.wav");
}

// Every tint covers exactly its slot's phrase (its blank when the phrase is empty), in slot
// order, and neighbours differ.
void CheckTints(Program& p, int count) {
    const auto* field =
        p.View().findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(kSequenceText));
    const QList<QTextEdit::ExtraSelection> tints = field->extraSelections();
    QCOMPARE(static_cast<int>(tints.size()), count);
    int start = 0;
    for (int slot = 0; slot < count; ++slot) {
        const int fragment = p.Text(kFragBase + slot).toInt();
        const QString phrase =
            QString::fromStdString(p.Doc().GetPhrase(fragment, p.View().CommVoice()));
        const QTextCursor& cursor = tints[slot].cursor;
        QCOMPARE(cursor.selectionStart(), phrase.isEmpty() ? start : start + 1);
        QCOMPARE(cursor.selectedText(), phrase.isEmpty() ? QString(" ") : phrase);
        if (slot > 0)
            QVERIFY(tints[slot].format.background() != tints[slot - 1].format.background());
        start += 1 + static_cast<int>(phrase.size());
    }
}

}  // namespace

class FormTest : public QObject {
    Q_OBJECT
  private slots:
    void withoutAFileEveryNumberIsZeroAndGuardedButtonsOnlyComplain() {
        Program p(Program::Start::Empty);
        for (int id :
             {kFragment, kFragCount, kVoice, kCommIndex, kCommCount, kEvalCount, kCommVoice})
            QCOMPARE(p.Text(id), QString("0"));
        for (int id : {kVoiceCount, kVoxIndex, kVoxSize1}) QCOMPARE(p.Text(id), QString());
        const int guarded[] = {kFragPlus,         kFragMinus, kVoicePlus,     kVoiceMinus,
                               kCommPlus,         kCommMinus, kCommVoicePlus, kCommVoiceMinus,
                               kElemPlusBase,     kPlay,      kSave,          kSaveRange,
                               kReplace,          kAddNew,    kAddVoice,      kInfo,
                               kElemMinusBase + 3};
        for (int id : guarded) p.Click(id);
        p.Click(kPlaySequence);  // not guarded: there is simply no comm to play
        QCOMPARE(p.prompter.messages, std::vector<std::string>(17, "No Voxfile loaded!"));
        QVERIFY(p.prompter.fileRequests.empty());
        QCOMPARE(p.Text(kFragment), QString("0"));
        QVERIFY(p.PlayedSoFar().empty());
    }

    void openingFillsBothHalvesAndTheSlots() {
        Program p;
        VoxEntry entry;
        QVERIFY(p.Doc().GetVoxEntry(0, entry));
        QCOMPARE(p.Text(kVoxSize1), QString::number(entry.codedSize));
        // Slot 1 is eval 1: three alternatives, the first (fragment 2) chosen, no name stored.
        QCOMPARE(Texts(p, {kFragCount, kCommCount, kEvalCount, kVoiceCount, kVoxIndex, kVoxSize2,
                           kPhrase, kWarp, kPriority, kPosition, kBullseye, kElements, kEvals,
                           kCommName, kSequenceText, kNumberBase + 1, kElemIndBase + 1,
                           kFragBase + 1, kEvalButtonBase + 1}),
                 QString("5|5|3|2|0|640|f0v0|5|7|9|-3|3|1|Greeting| f2v0 f2v0 f3v0|3|0|2|1"));
        QVERIFY(p.Edit(kElemIndBase + 1)->isEnabled() &&
                p.Button(kEvalButtonBase + 1)->isEnabled());
    }

    // Steps stay inside the tables; each step plays what it shows: comm 0 stops at fragment 3,
    // which has no voice 0; comm 4 is eval 2 (fragment 4) and fragment 0; comm 1 is fragment 4.
    void theStepButtonsStayInsideTheTablesAndPlayWhatTheyShow() {
        Program p;
        p.Click(kFragPlus);
        QCOMPARE(Texts(p, {kFragment, kVoiceCount, kVoxIndex}), QString("1|1|2"));
        p.Type(kFragment, "4");
        p.Click(kFragPlus);
        QCOMPARE(p.Text(kFragment), QString("4"));
        p.Click(kCommMinus);
        p.Type(kCommIndex, "4");
        p.Click(kCommPlus);
        QCOMPARE(p.Text(kCommIndex), QString("4"));
        p.Type(kCommIndex, "0");
        p.Click(kCommPlus);
        QCOMPARE(Texts(p, {kCommIndex, kElements, kCommName}), QString("1|1|Warning"));
        p.Type(kCommIndex, "0");
        p.Click(kCommVoiceMinus);
        QCOMPARE(p.Text(kCommVoice), QString("0"));
        p.Click(kCommVoicePlus);
        QCOMPARE(p.Text(kSequenceText), QString(" f2v1 f2v1 f3v1"));
        p.Click(kPlaySequence);
        p.Click(kElemPlusBase + 1);  // eval 1's next alternative: fragment 3
        QCOMPARE(Texts(p, {kElemIndBase + 1, kFragBase + 1}), QString("1|3"));
        QCOMPARE(p.Text(kSequenceText), QString(" f2v1 f3v1 f3v1"));
        QCOMPARE(p.Played(18), Entries({2, 6, 3, 3, 6, 0, 6, 3, 3, 4, 4, 5, 4, 4, 5, 4, 5, 5}));
    }

    void anEvalMissingFromTheTableGivesASlotThatPlaysNothing() {
        Program p;
        p.Type(kCommIndex, "3");
        QCOMPARE(Texts(p, {kNumberBase, kFragBase, kEvalButtonBase}), QString("0|-1|7"));
        QVERIFY(!p.Button(kEvalButtonBase)->isEnabled() && !p.Edit(kElemIndBase)->isEnabled());
        p.Click(kPlaySequence);
        p.Click(kElemPlusBase);
        QVERIFY(p.PlayedSoFar().empty());
    }

    void aSilentTakeAddedAsNewIsShownAndTheMessageSaysWhatToListenFor() {
        Program p;
        WriteFileBytes(p.dir.File("silent.flac"),
                       SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1,
                                      std::vector<float>(8000, 0)));
        p.prompter.AnswerFile(p.dir.File("silent.flac"));
        p.prompter.AnswerNumbers(std::vector<long long>{3});
        p.Click(kAddNew);
        QCOMPARE(Texts(p, {kFragCount, kFragment, kVoice, kVoiceCount, kVoxIndex, kVoxSize2}),
                 QString("6|5|3|1|8|16000"));
        QCOMPARE(p.prompter.messages,
                 std::vector<std::string>{"The new recording was stored; listen to it again:\n"
                                          "silent throughout: no sample reaches -50 dBFS"});
        QCOMPARE(p.prompter.statuses,
                 std::vector<std::string>{"converted from 8000 Hz mono FLAC 16-bit"});
    }

    // A cancelled preview of an Add Voice writes nothing; a studio take replaces a voice after
    // both recordings were heard.
    void aTakeIsPreviewedBeforeItIsStored() {
        Program p;
        const auto before = ReadFileBytes(p.talkPath);
        p.prompter.AnswerFile(WriteStudioTake(p));
        p.prompter.AnswerPreview(false);
        p.Click(kAddVoice);
        QVERIFY(p.prompter.numberRequests.empty() && p.prompter.statuses.empty());
        QCOMPARE(ReadFileBytes(p.talkPath), before);
        QVERIFY(!p.Doc().IsModified());

        p.prompter.AnswerFile(WriteStudioTake(p), /*option: normalize*/ true);
        p.prompter.AnswerPreview(true, {0, 1});
        p.Click(kReplace);
        QCOMPARE(p.prompter.messages.size(), size_t(1));  // the warning before the file dialog
        QCOMPARE(p.prompter.fileRequests.at(1).optionLabel, std::string("Normalize loudness"));
        const auto& preview = p.prompter.previews.at(1);
        QVERIFY2(preview.text.starts_with(
                     "Replace the recording of fragment 0 in voice 0 with take.wav?\n0.50 s, "),
                 preview.text.c_str());
        QCOMPARE(preview.labels, (std::vector<std::string>{"Play &New", "Play &Current"}));
        QCOMPARE(p.Played(2), Entries({23, 0}));
        QCOMPARE(p.prompter.statuses.size(), size_t(1));
        QVERIFY2(p.prompter.statuses[0].starts_with(
                     "converted from 48000 Hz stereo 16-bit; normalized to "),
                 p.prompter.statuses[0].c_str());
        QCOMPARE(p.prompter.unexpectedQuestions, 0);
        // Before, the form kept showing the sizes of the recording it had replaced.
        VoxEntry entry;
        QVERIFY(p.Doc().GetVoxEntry(p.Text(kVoxIndex).toInt(), entry));
        QCOMPARE(Texts(p, {kVoxSize1, kVoxSize2}),
                 QString("%1|%2").arg(entry.codedSize).arg(entry.decodedSize));
    }

    // A file cut short by another program fails every read from then on; the form says so once
    // per open database, however many refreshes meet the damage.
    void aTalkFileCutBehindTheFormIsToldOncePerOpen() {
        Program p;
        p.View().SetAutoPlay(false);
        const std::string told = p.talkPath +
                                 "\nThe file was changed by another program and can no longer be "
                                 "read. Close the database and open it again.";
        // What another program does: cut the file to nothing through a descriptor of its own.
        const auto cut = [&] { QCOMPARE(truncate(p.talkPath.c_str(), 0), 0); };
        p.Click(kFragPlus);
        QVERIFY(p.prompter.messages.empty());
        cut();
        p.Click(kFragPlus);
        p.Click(kPlay);
        p.Click(kFragMinus);
        QCOMPARE(p.prompter.messages, std::vector<std::string>{told});

        // Opened again, the database is whole; cut again, it is news again.
        TestDatabase::Write(p.dir.Path());
        QVERIFY(p.Doc().OnOpenDocument(p.talkPath));
        p.Click(kFragPlus);
        QCOMPARE(p.prompter.messages.size(), size_t(1));
        cut();
        p.Click(kFragMinus);  // fragment 1 has a recording in voice 0: its read meets the cut
        QCOMPARE(p.prompter.messages, (std::vector<std::string>{told, told}));
    }

    void tintsCoverEachSlotsPhraseThroughRefreshesRebuildsAndWideCharacters() {
        Program p;
        CheckTints(p, 3);
        p.Click(kElemPlusBase + 1);  // eval 1 now chooses fragment 3
        CheckTints(p, 3);
        p.Type(kCommVoice, "5");  // no phrases in voice 5: three blanks, each still marked
        QCOMPARE(p.Text(kSequenceText), QString("   "));
        CheckTints(p, 3);
        p.Type(kCommVoice, "0");
        p.Type(kCommIndex, "2");  // twenty entries, fifteen shown
        CheckTints(p, 15);
        p.Type(kCommIndex, "4");  // an eval slot, then fragment 0
        CheckTints(p, 2);
        // Phrases are counted in the field's own characters, not in the bytes of the file.
        std::ofstream(p.dir.File("wide.csv"), std::ios::binary)
            << "Fragment,Notes,Voice 0\n2,x,gr\xC3\xBC\xC3\x9F dich "
               "\xF0\x9F\x98\x80\n3,x,\xE2\x82\xAC\n";
        p.Doc().LoadPhraseFile(p.dir.File("wide.csv"));
        p.View().RefreshComm(0);
        QCOMPARE(p.Text(kSequenceText),
                 QString::fromUtf8(" gr\xC3\xBC\xC3\x9F dich \xF0\x9F\x98\x80 gr\xC3\xBC"
                                   "\xC3\x9F dich \xF0\x9F\x98\x80 \xE2\x82\xAC"));
        CheckTints(p, 3);
    }
};

RegisterTest<FormTest> registerForm;

}  // namespace vox::test

#include "tst_form.moc"

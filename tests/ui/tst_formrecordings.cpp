// A studio take through the form: the file dialog's check box, the preview of both recordings
// before the replace, and what the status bar and the talk file show after it.
#include <QTest>

#include "tests/support/soundfiles.h"
#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/formids.h"

using namespace vox;
using namespace vox::form;
using vox::test::FormFixture;

namespace {

// Half a second at 48 kHz, stereo: 4000 samples once converted, which the form's test sounds
// count as "entry 23" (an entry k lasts k + 2 codec frames).
std::string WriteStudioTake(const FormFixture& f) {
    const std::string path = f.Dir().File("take.wav");
    vox::test::WriteFileBytes(
        path, vox::test::SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
                                        vox::test::SineFrames(440, 0.18, 48000, 2, 0.5)));
    return path;
}
constexpr int kTakeAsPlayed = 23;

uint32_t DecodedSizeOf(FormFixture& f, int fragment, int voice) {
    ListRecord record;
    VoxEntry entry;
    if (!f.Doc().GetFragRecord(fragment, record) ||
        !f.Doc().GetVoxEntry(f.Doc().FindVoxIndex(record, voice), entry))
        return 0;
    return entry.decodedSize;
}

}  // namespace

class FormRecordingsTest : public QObject {
    Q_OBJECT

  private slots:
    void aStudioTakeReplacesAVoiceAfterBothWereHeard() {
        FormFixture f;
        f.Prompter().AnswerFile(WriteStudioTake(f), /*option: normalize*/ true);
        f.Prompter().AnswerPreview(true, {0, 1});
        f.Click(kReplace);
        QCOMPARE(f.Prompter().messages.size(), size_t(1));  // the warning before the file dialog
        QCOMPARE(f.Prompter().fileRequests.at(0).optionLabel, std::string("Normalize loudness"));
        QCOMPARE(f.Prompter().previews.size(), size_t(1));
        const auto& preview = f.Prompter().previews[0];
        QVERIFY2(preview.text.starts_with(
                     "Replace the recording of fragment 0 in voice 0 with take.wav?\n0.50 s, "),
                 preview.text.c_str());
        QCOMPARE(preview.labels, (std::vector<std::string>{"Play &New", "Play &Current"}));
        QCOMPARE(f.Played(2), (std::vector<int>{kTakeAsPlayed, 0}));
        QCOMPARE(DecodedSizeOf(f, 0, 0), 8000u);
        QCOMPARE(f.Prompter().statuses.size(), size_t(1));
        QVERIFY2(f.Prompter().statuses[0].starts_with(
                     "converted from 48000 Hz stereo 16-bit; normalized to "),
                 f.Prompter().statuses[0].c_str());
        QCOMPARE(f.Prompter().unexpectedQuestions, 0);
    }

    void aSilentTakeIsAddedAndTheMessageSaysWhatToListenFor() {
        FormFixture f;
        const std::string path = f.Dir().File("silent.wav");
        vox::test::WriteFileBytes(
            path, vox::test::SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1,
                                            std::vector<float>(8000, 0)));
        f.Prompter().AnswerFile(path);
        f.Prompter().AnswerNumbers(std::vector<long long>{0});
        f.Click(kAddNew);
        QCOMPARE(f.Text(kFragCount), QString("6"));
        QCOMPARE(f.Prompter().messages,
                 std::vector<std::string>{"The new recording was stored; listen to it again:\n"
                                          "silent throughout: no sample reaches -50 dBFS"});
        QCOMPARE(f.Prompter().statuses,
                 std::vector<std::string>{"converted from 8000 Hz mono FLAC 16-bit"});
    }

    void cancellingThePreviewOfAnAddVoiceWritesNothing() {
        FormFixture f;
        const auto before = vox::test::ReadFileBytes(f.TalkPath());
        f.Prompter().AnswerFile(WriteStudioTake(f));
        f.Prompter().AnswerPreview(false);
        f.Click(kAddVoice);
        QCOMPARE(f.Prompter().previews.at(0).labels,
                 (std::vector<std::string>{"Play &New", "Play &Current"}));
        QVERIFY(f.Prompter().numberRequests.empty());
        QVERIFY(f.Prompter().statuses.empty());
        QCOMPARE(vox::test::ReadFileBytes(f.TalkPath()), before);
        QVERIFY(!f.Doc().IsModified());
    }
};

int RunFormRecordingsTest(int argc, char** argv) {
    FormRecordingsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_formrecordings.moc"

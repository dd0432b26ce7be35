// The form's action buttons: play, save, export, import and the two editors.
#include <fcntl.h>
#include <unistd.h>

#include <QTest>

#include "audio/wavefile.h"
#include "tests/ui/formfixture.h"
#include "tests/ui/uitests.h"
#include "ui/formids.h"

using namespace vox;
using namespace vox::form;
using vox::test::FileExists;
using vox::test::FormFixture;
using Entries = std::vector<int>;

namespace {

const std::string kNoFile = "No Voxfile loaded!";

std::string WriteTestWave(const std::string& folder, uint32_t bytes) {
    std::vector<uint8_t> pcm(bytes);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>((i * 37) & 0x7F);
    const std::string path = folder + "/new.wav";
    if (!WriteWave(path, pcm.data(), bytes)) qFatal("cannot write %s", path.c_str());
    return path;
}

// What another program does: cut the file to nothing through a descriptor of its own.
bool CutFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY);
    if (fd < 0) return false;
    const bool cut = ftruncate(fd, 0) == 0;
    close(fd);
    return cut;
}

}  // namespace

class FormActionsTest : public QObject {
    Q_OBJECT

  private slots:
    void everyGuardedButtonOnlyComplainsWithoutAFile() {
        FormFixture f(false);
        for (int id : {kPlay, kSave, kSaveRange, kReplace, kAddNew, kAddVoice, kInfo}) f.Click(id);
        QCOMPARE(f.Prompter().messages, std::vector<std::string>(7, kNoFile));
        QVERIFY(f.Prompter().fileRequests.empty());
        QCOMPARE(f.Prompter().unexpectedQuestions, 0);
        f.Click(kPlaySequence);  // not guarded: there is simply no comm to play
        QCOMPARE(f.Prompter().messages.size(), size_t(7));
        QVERIFY(f.PlayedSoFar().empty());
    }

    void playSequenceQueuesTheShownFragmentsInTheCommVoice() {
        FormFixture f;
        f.Type(kCommVoice, "1");
        f.Click(kPlaySequence);
        QCOMPARE(f.Played(3), Entries({4, 4, 5}));
    }

    void saveWritesTheFragmentVoiceAsAWave() {
        FormFixture f;
        const std::string path = f.Dir().File("one.wav");
        f.Prompter().AnswerFile(path);
        f.Type(kFragment, "1");
        f.Click(kSave);
        QCOMPARE(f.Prompter().fileRequests.size(), size_t(1));
        QCOMPARE(f.Prompter().fileRequests[0].defaultExtension, std::string("wav"));
        std::vector<uint8_t> pcm;
        QVERIFY(ReadWave(path, pcm));
        QCOMPARE(pcm.size(), size_t(vox::test::TestDatabase::EntryBytes(2)));
    }

    void addNewShowsTheNewFragmentInTheTypedVoice() {
        FormFixture f;
        f.Prompter().AnswerFile(WriteTestWave(f.Dir().Path(), 3200));
        f.Prompter().AnswerNumbers(std::vector<long long>{3});
        f.Click(kAddNew);
        QCOMPARE(f.Prompter().messages, std::vector<std::string>{});
        QCOMPARE(f.Text(kFragCount), QString("6"));
        QCOMPARE(f.Text(kFragment), QString("5"));
        QCOMPARE(f.Text(kVoice), QString("3"));
        QCOMPARE(f.Text(kVoiceCount), QString("1"));
        QCOMPARE(f.Text(kVoxIndex), QString("8"));
        QCOMPARE(f.Text(kVoxSize2), QString("3200"));
        QVERIFY(f.Doc().IsModified());
    }

    void infoOpensTheFragEditorForTheShownFragment() {
        FormFixture f;
        std::vector<int> opened;
        EditorOpeners openers;
        openers.fragEditor = [&opened](QWidget*, CVoxbenchDoc&, int fragment) {
            opened.push_back(fragment);
        };
        f.View().SetEditorOpeners(openers);
        f.Type(kFragment, "3");
        f.Click(kInfo);
        QCOMPARE(opened, std::vector<int>{3});
    }

    void aSlotButtonOpensTheEvalEditorInTheCommVoice() {
        FormFixture f;
        std::vector<std::pair<int, int>> opened;
        EditorOpeners openers;
        openers.evalEditor = [&opened](QWidget*, CVoxbenchDoc&, int eval, int voice) {
            opened.push_back({eval, voice});
        };
        f.View().SetEditorOpeners(openers);
        f.Type(kCommVoice, "2");
        f.Click(kEvalButtonBase + 1);
        QCOMPARE(opened, (std::vector<std::pair<int, int>>{{1, 2}}));
        f.View().OnSlotEvalButton(0);  // a fragment slot: nothing to edit
        f.View().OnSlotEvalButton(5);  // a slot the comm does not have
        QCOMPARE(opened.size(), size_t(1));
    }

    // A file cut short by another program fails every read from then on; the form says so once
    // per open database, however many refreshes meet the damage.
    void aTalkFileCutBehindTheFormIsToldOncePerOpen() {
        FormFixture f;
        f.View().SetAutoPlay(false);
        const std::string told = f.TalkPath() +
                                 "\nThe file was changed by another program and can no longer be "
                                 "read. Close the database and open it again.";
        f.Click(kFragPlus);
        QVERIFY(f.Prompter().messages.empty());

        QVERIFY(CutFile(f.TalkPath()));
        f.Click(kFragPlus);
        f.Click(kPlay);
        f.Click(kFragMinus);
        QCOMPARE(f.Prompter().messages, std::vector<std::string>{told});
        QCOMPARE(f.Doc().DamagedFileName(), f.TalkPath());

        // Opened again, the database is whole; cut again, it is news again.
        vox::test::TestDatabase::Write(f.Dir().Path());
        QVERIFY(f.Doc().OnOpenDocument(f.TalkPath()));
        QCOMPARE(f.Doc().DamagedFileName(), std::string());
        f.Click(kFragPlus);
        QCOMPARE(f.Prompter().messages.size(), size_t(1));
        QVERIFY(CutFile(f.TalkPath()));
        f.Click(kFragMinus);  // fragment 1 has a recording in voice 0: its read meets the cut
        QCOMPARE(f.Prompter().messages, (std::vector<std::string>{told, told}));
    }
};

int RunFormActionsTest(int argc, char** argv) {
    FormActionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_formactions.moc"

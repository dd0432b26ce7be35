// The waveform on the form, and the File menu's re-install and verify commands.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include "audio/wavefile.h"
#include "tests/maintain/maintainfixture.h"
#include "ui/cvoxbenchview.h"
#include "ui/maintaincommands.h"
#include "ui/templates/dialogtemplate.h"
#include "ui/waveformview.h"
#include "workbench/fragmentexport.h"

namespace vox::test {
namespace {

// Runs the event loop until the view has a picture or 10 s have passed.
bool WaitForPicture(WaveformView& view) {
    QElapsedTimer timer;
    timer.start();
    while (view.IsDecoding() && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return !view.IsDecoding();
}

std::vector<std::pair<int, int>> AsPairs(const std::vector<WavePeak>& peaks) {
    std::vector<std::pair<int, int>> pairs;
    for (const WavePeak& peak : peaks) pairs.emplace_back(peak.low, peak.high);
    return pairs;
}

VoxEntry RecordingOf(const Bytes& coded, uint32_t decodedSize) {
    VoxEntry entry;
    entry.decodedSize = decodedSize;
    entry.codedSize = static_cast<uint32_t>(coded.size());
    entry.data = coded.data();
    return entry;
}

TEST(WaveformViewTest, PeaksAreTheLowestAndHighestSampleOfEachStretch) {
    Bytes pcm;
    for (int16_t sample : {1, -2, 3, -4, 5, 6}) PutU16(pcm, static_cast<uint16_t>(sample));
    EXPECT_EQ(AsPairs(WaveformView::PeaksOf(pcm.data(), pcm.size(), 2)),
              (std::vector<std::pair<int, int>>{{-2, 3}, {-4, 6}}));
    // More columns than samples: each column still holds a sample.
    EXPECT_EQ(AsPairs(WaveformView::PeaksOf(pcm.data(), 4, 3)),
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}, {-2, -2}}));
    EXPECT_TRUE(WaveformView::PeaksOf(pcm.data(), 1, 4).empty());
}

// The view decodes its own copy of the newest request; an undecodable one is said. A view
// closed while its worker runs must not be posted to.
TEST(WaveformViewTest, DecodesOffTheUserInterfaceThreadAndDrawsOnlyTheNewestRequest) {
    const Bytes bad(40, 0xFF);
    const Bytes second = CodedPcm(SpeechLikePcm(4800, 900));
    WaveformView view;
    QSignalSpy ready(&view, &WaveformView::PictureReady);
    view.ShowRecording(RecordingOf(bad, 640));
    ASSERT_TRUE(WaitForPicture(view));
    EXPECT_TRUE(view.IsUndecodable());
    view.ShowRecording(RecordingOf(CodedPcm(SpeechLikePcm(8000, 300)), 8000));
    EXPECT_TRUE(view.IsDecoding());  // returned before decoding
    EXPECT_TRUE(view.Peaks().empty());
    Bytes copy = second;
    view.ShowRecording(RecordingOf(copy, 4800));
    std::fill(copy.begin(), copy.end(), 0xFF);
    ASSERT_TRUE(WaitForPicture(view));
    const Bytes pcm = DecodedPcm(second);
    EXPECT_EQ(AsPairs(view.Peaks()),
              AsPairs(WaveformView::PeaksOf(pcm.data(), pcm.size(), WaveformView::kColumns)));
    EXPECT_FALSE(view.IsUndecodable());
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 2);
    {
        WaveformView closed;
        closed.ShowRecording(RecordingOf(second, 4800));
    }
    QCoreApplication::processEvents();
}

class MaintainUiTest : public DocumentFixture {
  protected:
    void SetUp() override { Open(); }
};

TEST_F(MaintainUiTest, TheFormShowsTheFragmentsSoundInItsFreeCornerWithoutMovingAControl) {
    DialogTemplateSet templates;
    std::string error;
    ASSERT_TRUE(
        LoadDialogTemplates(VOXBENCH_SOURCE_DIR "/resources/mainform.dlg", templates, error))
        << error;
    CVoxbenchView form(*doc_, templates);
    ASSERT_TRUE(form.Ok());
    auto* waveform = form.findChild<WaveformView*>("waveform");
    ASSERT_NE(waveform, nullptr);
    EXPECT_TRUE(form.rect().contains(waveform->geometry()));
    for (QWidget* control : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control == waveform || control->objectName().isEmpty()) continue;
        EXPECT_FALSE(control->geometry().intersects(waveform->geometry()))
            << control->objectName().toStdString();
    }
    doc_->UpdateAllViews();  // shows fragment 0, voice 0: entry 0
    ASSERT_TRUE(WaitForPicture(*waveform));
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(0, entry));
    const Bytes pcm = DecodedPcm(Bytes(entry.data, entry.data + entry.codedSize));
    EXPECT_EQ(AsPairs(waveform->Peaks()),
              AsPairs(WaveformView::PeaksOf(pcm.data(), pcm.size(), WaveformView::kColumns)));
    form.RefreshFragment(99);  // no such fragment: nothing to draw
    EXPECT_TRUE(waveform->Peaks().empty());
    EXPECT_FALSE(waveform->IsDecoding());
}

TEST_F(MaintainUiTest, ReinstallAsksForTheListAndSaysWhatItDid) {
    mkdir(dir_.File("ex").c_str(), 0700);
    const std::string list = dir_.File("ex/Filenames.csv");
    ASSERT_TRUE(ExportFragmentRange(*doc_, 0, doc_->GetFragCount(), list).listWritten);
    const Bytes pcm = SpeechLikePcm(2400, 480);
    WriteFileBytes(dir_.File("ex/3-1.wav"),
                   MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    std::remove(dir_.File("ex/2-0.wav").c_str());
    prompter_.AnswerFile(list);
    ReinstallExport(*doc_, nullptr);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_EQ(prompter_.fileRequests[0].fileName, "Filenames.csv");
    EXPECT_TRUE(prompter_.fileRequests[0].mustExist);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0],
              "1 replaced, 5 unchanged, 1 refused\nline 6 \"2-0;.lh\": 2-0.wav: missing file");

    prompter_.AnswerFile(std::nullopt);  // cancelled: nothing more is said
    ReinstallExport(*doc_, nullptr);
    EXPECT_EQ(prompter_.messages.size(), 1u);
}

TEST_F(MaintainUiTest, VerifyShowsTheReportOfTheFilesOnDisk) {
    QString shown;
    const auto show = [&shown](const QString& text) { shown = text; };
    VerifyDatabase(*doc_, nullptr, show);
    EXPECT_EQ(shown, "No problems found.\n");

    Bytes frags = ReadFileBytes(dir_.File("fragFile.bin"));
    frags.push_back(0);  // a partial element word
    WriteFileBytes(dir_.File("fragFile.bin"), frags);
    doc_->SetModifiedFlag(true);
    VerifyDatabase(*doc_, nullptr, show);
    EXPECT_EQ(shown,
              "The tables have unsaved changes; this checks the saved files.\n\n"
              "fragFile.bin: the file ends in a partial element word\n1 problem found.\n");

    doc_->OnCloseDocument();
    shown.clear();
    VerifyDatabase(*doc_, nullptr, show);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(prompter_.messages, std::vector<std::string>{"No Voxfile loaded!"});
}

}  // namespace
}  // namespace vox::test

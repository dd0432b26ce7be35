// The waveform view: its peaks, and decoding off the user interface thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <vector>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "ui/waveformview.h"

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

// The peaks are the lowest and highest sample of each stretch. The view decodes its own copy of
// the newest request; an undecodable one is said. A view closed while its worker runs must not
// be posted to.
TEST(WaveformViewTest, DrawsThePeaksOfOnlyTheNewestRequestDecodedOffTheUserInterfaceThread) {
    Bytes samples;
    for (int16_t sample : {1, -2, 3, -4, 5, 6}) PutU16(samples, static_cast<uint16_t>(sample));
    EXPECT_EQ(AsPairs(WaveformView::PeaksOf(samples.data(), samples.size(), 2)),
              (std::vector<std::pair<int, int>>{{-2, 3}, {-4, 6}}));
    // More columns than samples: each column still holds a sample.
    EXPECT_EQ(AsPairs(WaveformView::PeaksOf(samples.data(), 4, 3)),
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}, {-2, -2}}));
    EXPECT_TRUE(WaveformView::PeaksOf(samples.data(), 1, 4).empty());
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

}  // namespace
}  // namespace vox::test

#pragma once

#include <QThreadPool>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "talkdata/voxfile.h"

namespace vox {

// The picture of one recording: for each of a fixed number of columns, the lowest and highest
// sample in that stretch of the sound.
struct WavePeak {
    int16_t low = 0;
    int16_t high = 0;
};

// Shows the waveform of the current fragment's recording. The coded bytes are copied (the
// mapping they come from may change at any time) and decoded on a worker thread with a codec
// of its own, so the form never waits; only the newest request is drawn.
class WaveformView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kColumns = 256;

    explicit WaveformView(QWidget* parent = nullptr);
    ~WaveformView() override;

    void ShowRecording(const VoxEntry& entry);
    void Clear();

    // What is drawn now: empty while nothing is shown or the newest request is still decoding.
    const std::vector<WavePeak>& Peaks() const { return peaks_; }
    bool IsDecoding() const { return pending_; }
    // The shown recording could not be decoded.
    bool IsUndecodable() const { return undecodable_; }

    // The peaks of 16-bit little-endian PCM in `columns` stretches of equal length.
    static std::vector<WavePeak> PeaksOf(const uint8_t* pcm, size_t bytes, int columns);

  signals:
    void PictureReady();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Accept(uint64_t request, std::vector<WavePeak> peaks, bool decoded);

    QThreadPool decoders_;
    uint64_t request_ = 0;
    bool pending_ = false;
    bool undecodable_ = false;
    std::vector<WavePeak> peaks_;
};

}  // namespace vox

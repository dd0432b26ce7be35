#include "ui/waveformview.h"

#include <QPainter>
#include <algorithm>
#include <memory>

#include "audio/speechcodec.h"

namespace vox {
namespace {

// Decodes as the workbench plays, into a buffer of SpeechCodec::DecodeBufferSize.
bool DecodeCopy(const std::vector<uint8_t>& coded, uint32_t decodedSize,
                std::vector<uint8_t>& pcm) {
    SpeechCodec codec;
    if (!codec.Init()) return false;
    pcm.resize(SpeechCodec::DecodeBufferSize(decodedSize));
    uint32_t produced = 0;
    if (!codec.Decode(coded.data(), static_cast<uint32_t>(coded.size()), pcm.data(),
                      static_cast<uint32_t>(pcm.size()), produced)) {
        return false;
    }
    pcm.resize(produced);
    return true;
}

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setObjectName("waveform");
    decoders_.setMaxThreadCount(1);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

WaveformView::~WaveformView() {
    // A worker still running would post its result to a destroyed view.
    decoders_.clear();
    decoders_.waitForDone();
}

std::vector<WavePeak> WaveformView::PeaksOf(const uint8_t* pcm, size_t bytes, int columns) {
    const size_t samples = bytes / 2;
    std::vector<WavePeak> peaks;
    if (samples == 0 || columns <= 0) return peaks;
    peaks.resize(static_cast<size_t>(columns));
    for (size_t c = 0; c < peaks.size(); ++c) {
        const size_t first = c * samples / peaks.size();
        const size_t last = std::max(first + 1, (c + 1) * samples / peaks.size());
        WavePeak peak{INT16_MAX, INT16_MIN};
        for (size_t i = first; i < last && i < samples; ++i) {
            const auto sample = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
            peak.low = std::min(peak.low, sample);
            peak.high = std::max(peak.high, sample);
        }
        peaks[c] = peak;
    }
    return peaks;
}

void WaveformView::ShowRecording(const VoxEntry& entry) {
    const uint64_t request = ++request_;
    pending_ = true;
    undecodable_ = false;
    peaks_.clear();
    update();
    decoders_.clear();  // an older request that has not started is no longer wanted
    std::vector<uint8_t> coded(entry.data, entry.data + entry.codedSize);
    const uint32_t decodedSize = entry.decodedSize;
    decoders_.start([this, request, coded = std::move(coded), decodedSize] {
        std::vector<uint8_t> pcm;
        const bool decoded = DecodeCopy(coded, decodedSize, pcm);
        std::vector<WavePeak> peaks =
            decoded ? PeaksOf(pcm.data(), pcm.size(), kColumns) : std::vector<WavePeak>();
        QMetaObject::invokeMethod(
            this,
            [this, request, decoded, peaks = std::move(peaks)]() mutable {
                Accept(request, std::move(peaks), decoded);
            },
            Qt::QueuedConnection);
    });
}

void WaveformView::Clear() {
    ++request_;
    pending_ = false;
    undecodable_ = false;
    peaks_.clear();
    update();
}

void WaveformView::Accept(uint64_t request, std::vector<WavePeak> peaks, bool decoded) {
    if (request != request_) return;  // a newer recording was asked for meanwhile
    pending_ = false;
    undecodable_ = !decoded;
    peaks_ = std::move(peaks);
    update();
    emit PictureReady();
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int middle = height() / 2;
    painter.drawLine(1, middle, width() - 2, middle);
    if (peaks_.empty()) return;
    painter.setPen(palette().text().color());
    const double scale = (height() - 4) / 65536.0;
    for (int x = 1; x < width() - 1; ++x) {
        const size_t column =
            static_cast<size_t>(x - 1) * peaks_.size() / static_cast<size_t>(width() - 2);
        const WavePeak& peak = peaks_[column];
        painter.drawLine(x, middle - static_cast<int>(peak.high * scale), x,
                         middle - static_cast<int>(peak.low * scale));
    }
}

}  // namespace vox

#include "bench/benchrecordings.h"

#include <cmath>
#include <memory>

#include "audio/speechcodec.h"
#include "talkdata/bytes.h"

namespace vox::bench {

std::vector<uint8_t> SpeechLikePcm(uint32_t bytes, int seed) {
    std::vector<uint8_t> pcm(bytes & ~1u);
    const double pi = std::acos(-1.0);
    const double baseHz = 110.0 + 17.0 * (seed % 11);
    double phase = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const double t = static_cast<double>(i / 2) / 8000.0;
        phase += 2 * pi * baseHz * (1.0 + 0.35 * std::sin(2 * pi * (2.0 + seed % 3) * t)) / 8000.0;
        const double envelope = 0.55 + 0.45 * std::sin(2 * pi * (3.0 + seed % 5) * t);
        const double voiced =
            std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.1 * std::sin(3 * phase);
        const auto sample = static_cast<int16_t>(7000.0 * envelope * voiced);
        WriteU16(pcm.data() + i, static_cast<uint16_t>(sample));
    }
    return pcm;
}

std::vector<Recording> MakeRecordings(int count) {
    SpeechCodec codec;
    codec.Init();
    std::vector<Recording> recordings;
    for (int r = 0; r < count; ++r) {
        // 0.3 s to 1.5 s in steps of 0.1 s, whole codec frames of 320 bytes.
        const uint32_t frames = 15 + static_cast<uint32_t>((r * 7) % 13) * 5;
        Recording recording;
        recording.pcm = SpeechLikePcm(frames * 320, r);
        std::unique_ptr<uint8_t[]> coded;
        uint32_t codedLen = 0;
        if (codec.Encode(recording.pcm.data(), static_cast<uint32_t>(recording.pcm.size()), coded,
                         codedLen)) {
            recording.coded.assign(coded.get(), coded.get() + codedLen);
        }
        recordings.push_back(std::move(recording));
    }
    return recordings;
}

}  // namespace vox::bench

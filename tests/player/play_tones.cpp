// Plays tones through the sound player and the default PortAudio device, one queued sound per
// tone, and prints when each was queued and when the device began and finished it.
//
//   play_tones [--no-drain-wait] [--latency=SECONDS] FREQ:MS...
//
// Exit status: 0 every tone played, 1 a tone was not played, 2 usage.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "audio/player/portaudiodevice.h"
#include "audio/player/soundplayer.h"
#include "tests/player/tones.h"

namespace {

using Clock = std::chrono::system_clock;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// Prints the moments at which the real device starts and finishes each sound.
class TimedBuffer : public vox::SoundBuffer {
  public:
    explicit TimedBuffer(std::unique_ptr<vox::SoundBuffer> inner) : inner_(std::move(inner)) {}
    int Write(std::span<const uint8_t> pcm) override { return inner_->Write(pcm); }
    int PlayAndWait(std::stop_token abort) override {
        double start = Now();
        int result = inner_->PlayAndWait(std::move(abort));
        std::printf("played %.6f %.6f %d\n", start, Now(), result);
        std::fflush(stdout);
        return result;
    }

  private:
    std::unique_ptr<vox::SoundBuffer> inner_;
};

class TimedDevice : public vox::SoundDevice {
  public:
    explicit TimedDevice(vox::PortAudioOptions options) : inner_(options) {}
    int Open() override {
        double start = Now();
        int result = inner_.Open();
        std::printf("open %.6f %.6f %d latency %.6f\n", start, Now(), result,
                    inner_.GetOutputLatency());
        std::fflush(stdout);
        return result;
    }
    int CreateBuffer(uint32_t size, std::unique_ptr<vox::SoundBuffer>& buffer) override {
        std::unique_ptr<vox::SoundBuffer> inner;
        int result = inner_.CreateBuffer(size, inner);
        if (result == vox::kSoundOk) buffer = std::make_unique<TimedBuffer>(std::move(inner));
        return result;
    }

  private:
    vox::PortAudioDevice inner_;
};

std::unique_ptr<vox::SoundItem> MakeItem(const vox::test::Tone& tone) {
    std::vector<int16_t> samples = vox::test::ToneSamples(tone);
    uint32_t size = static_cast<uint32_t>(samples.size() * 2);
    auto pcm = std::make_unique<uint8_t[]>(size);
    for (size_t i = 0; i < samples.size(); ++i) {
        pcm[2 * i] = static_cast<uint8_t>(samples[i] & 0xFF);
        pcm[2 * i + 1] = static_cast<uint8_t>((samples[i] >> 8) & 0xFF);
    }
    return std::make_unique<vox::SoundItem>(std::move(pcm), size);
}

}  // namespace

int main(int argc, char** argv) {
    vox::PortAudioOptions options;
    std::vector<vox::test::Tone> tones;
    int totalMs = 0;
    for (int i = 1; i < argc; ++i) {
        vox::test::Tone tone;
        if (std::strcmp(argv[i], "--no-drain-wait") == 0) {
            options.waitForDrain = false;
        } else if (std::strncmp(argv[i], "--latency=", 10) == 0) {
            options.minLatency = std::atof(argv[i] + 10);
        } else if (vox::test::ParseTone(argv[i], tone)) {
            tones.push_back(tone);
            totalMs += tone.ms;
        } else {
            std::fprintf(stderr, "play_tones: bad tone '%s' (want FREQ:MS)\n", argv[i]);
            return 2;
        }
    }
    if (tones.empty()) {
        std::fprintf(stderr,
                     "usage: play_tones [--no-drain-wait] [--latency=SECONDS] FREQ:MS...\n");
        return 2;
    }

    std::mutex traceLock;
    vox::SoundPlayer player([options] { return std::make_unique<TimedDevice>(options); },
                            [&traceLock](std::string_view operation, int result) {
                                std::lock_guard<std::mutex> lock(traceLock);
                                std::fprintf(stderr, "play_tones: %.*s failed (%d)\n",
                                             int(operation.size()), operation.data(), result);
                            });
    vox::PlayerThread thread;
    std::printf("enqueue %.6f\n", Now());
    std::fflush(stdout);
    for (const auto& tone : tones) {
        if (!thread.IsStarted()) thread.Start(player);
        player.Enqueue(MakeItem(tone));
    }
    bool idle = player.WaitUntilIdle(std::chrono::milliseconds(totalMs + 20000));
    thread.Shutdown(player, std::chrono::milliseconds(2000));
    vox::SoundPlayerStats stats = player.GetStats();
    std::printf("done %.6f played %u failed %u dropped %u\n", Now(), stats.played, stats.failed,
                stats.dropped);
    std::fflush(stdout);
    return idle && stats.played == tones.size() ? 0 : 1;
}

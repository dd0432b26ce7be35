#include "audio/player/portaudiodevice.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace vox {

namespace {

constexpr double kSampleRate = 8000.0;
// Writes go in small pieces so that an abort is noticed within one piece (20 ms).
constexpr unsigned long kChunkFrames = 160;
constexpr int kDrainPollMs = 5;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// PortAudio's ALSA and JACK back ends print dozens of lines on stderr while they look for
// devices and servers; none of it helps a user, so it goes nowhere.
void SilenceBackEndNoise() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(&QuietAlsa);
        jack_set_error_function(&QuietJack);
        jack_set_info_function(&QuietJack);
    });
}

class PortAudioBuffer : public SoundBuffer {
  public:
    // An odd last byte is half a sample and is not played.
    PortAudioBuffer(PaStream* stream, PortAudioOptions options, uint32_t size)
        : stream_(stream), options_(options), size_(size), samples_(size / 2) {}

    int Write(std::span<const uint8_t> pcm) override {
        if (pcm.size() != size_) return kSoundWrongLength;
        for (size_t i = 0; i < samples_.size(); ++i) {
            samples_[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        }
        return kSoundOk;
    }

    int PlayAndWait(std::stop_token abort) override {
        if (abort.stop_requested()) return kSoundOk;
        PaError result = Pa_StartStream(stream_);
        if (result != paNoError) return result;
        long full = Pa_GetStreamWriteAvailable(stream_);
        result = WriteAll(abort);
        if (result == paNoError && options_.waitForDrain) WaitForDrain(full, abort);
        if (result != paNoError || abort.stop_requested()) {
            Pa_AbortStream(stream_);
            return result;
        }
        return Pa_StopStream(stream_);
    }

  private:
    PaError WriteAll(const std::stop_token& abort) {
        size_t done = 0;
        while (done < samples_.size() && !abort.stop_requested()) {
            unsigned long frames =
                static_cast<unsigned long>(std::min<size_t>(kChunkFrames, samples_.size() - done));
            PaError result = Pa_WriteStream(stream_, samples_.data() + done, frames);
            // An underflow only says the stream ran dry before this write (it does on every
            // restart); the samples were still taken.
            if (result != paNoError && result != paOutputUnderflowed) return result;
            done += frames;
        }
        return paNoError;
    }

    // Pa_StopStream returns before what was written has been heard and drops it; once the write
    // space is back to its size right after the start, the server has taken everything. The
    // time limit covers back ends whose write space never returns to full.
    void WaitForDrain(long full, const std::stop_token& abort) {
        if (full <= 0) return;
        auto limit = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(1000 + full * 1000 / static_cast<long>(kSampleRate));
        while (!abort.stop_requested() && std::chrono::steady_clock::now() < limit) {
            long available = Pa_GetStreamWriteAvailable(stream_);
            if (available < 0 || available >= full) return;
            Pa_Sleep(kDrainPollMs);
        }
    }

    PaStream* stream_;
    PortAudioOptions options_;
    uint32_t size_;
    std::vector<int16_t> samples_;
};

}  // namespace

PortAudioDevice::PortAudioDevice(PortAudioOptions options) : options_(options) {}

PortAudioDevice::~PortAudioDevice() {
    if (stream_) Pa_CloseStream(stream_);
    if (!initialised_) return;
    Pa_Terminate();
    // ALSA keeps the parsed configuration for the life of the process unless asked to drop it;
    // nothing else in the program uses ALSA, and the next Open parses it again.
    snd_config_update_free_global();
}

int PortAudioDevice::Open() {
    if (initialised_) return kSoundOk;
    SilenceBackEndNoise();
    PaError result = Pa_Initialize();
    if (result != paNoError) return result;
    initialised_ = true;
    PaStreamParameters output{};
    output.device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = Pa_GetDeviceInfo(output.device);
    if (output.device == paNoDevice || !info) return paDeviceUnavailable;
    output.channelCount = 1;
    output.sampleFormat = paInt16;
    output.suggestedLatency = std::max(info->defaultHighOutputLatency, options_.minLatency);
    PaStream* stream = nullptr;
    result = Pa_OpenStream(&stream, nullptr, &output, kSampleRate, paFramesPerBufferUnspecified,
                           paNoFlag, nullptr, nullptr);
    if (result != paNoError) return result;
    stream_ = stream;
    return kSoundOk;
}

int PortAudioDevice::CreateBuffer(uint32_t size, std::unique_ptr<SoundBuffer>& buffer) {
    if (!stream_) return kSoundNotOpen;
    if (!IsPlayableSize(size)) return kSoundInvalidSize;
    try {
        buffer = std::make_unique<PortAudioBuffer>(stream_, options_, size);
    } catch (const std::bad_alloc&) {
        return kSoundNoMemory;
    }
    return kSoundOk;
}

// PortAudio's codes count up from -10000, far below ours, so the two never meet.
std::string PortAudioDevice::ResultText(int result) const {
    const bool portAudios = result >= paNotInitialized && result < paNotInitialized + 1000;
    return portAudios ? Pa_GetErrorText(result) : SoundResultText(result);
}

double PortAudioDevice::GetOutputLatency() const {
    const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(stream_) : nullptr;
    return info ? info->outputLatency : 0.0;
}

std::unique_ptr<SoundDevice> MakeDefaultSoundDevice() {
    return std::make_unique<PortAudioDevice>();
}

}  // namespace vox

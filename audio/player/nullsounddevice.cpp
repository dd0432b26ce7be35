#include "audio/player/nullsounddevice.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace vox {

namespace {

// 16000 bytes per second.
std::chrono::microseconds DurationOf(size_t bytes) {
    return std::chrono::microseconds(static_cast<int64_t>(bytes) * 125 / 2);
}

class NullSoundBuffer : public SoundBuffer {
  public:
    NullSoundBuffer(std::shared_ptr<NullSoundControl> control, uint32_t size)
        : control_(std::move(control)), size_(size) {}

    int Write(std::span<const uint8_t> pcm) override {
        int result = control_->Enter(NullSoundStep::Write);
        if (result != kSoundOk) return result;
        if (pcm.size() != size_) return kSoundWrongLength;
        try {
            pcm_.assign(pcm.begin(), pcm.end());
        } catch (const std::bad_alloc&) {
            return kSoundNoMemory;
        }
        return kSoundOk;
    }

    int PlayAndWait(std::stop_token abort) override {
        int result = control_->Enter(NullSoundStep::Play);
        if (result != kSoundOk) return result;
        control_->BeginPlaying();
        NullSoundRecord record;
        record.thread = std::this_thread::get_id();
        record.start = std::chrono::steady_clock::now();
        std::mutex mutex;
        std::condition_variable_any ticking;
        std::unique_lock<std::mutex> lock(mutex);
        ticking.wait_for(lock, abort, DurationOf(size_), [] { return false; });
        record.aborted = abort.stop_requested();
        record.end = std::chrono::steady_clock::now();
        record.pcm = std::move(pcm_);
        control_->EndPlaying(std::move(record));
        return kSoundOk;
    }

  private:
    std::shared_ptr<NullSoundControl> control_;
    uint32_t size_;
    std::vector<uint8_t> pcm_;
};

}  // namespace

NullSoundDevice::NullSoundDevice(std::shared_ptr<NullSoundControl> control)
    : control_(std::move(control)) {
    control_->DeviceMade();
}

NullSoundDevice::~NullSoundDevice() { control_->DeviceGone(); }

int NullSoundDevice::Open() {
    int result = control_->Enter(NullSoundStep::Open);
    open_ = result == kSoundOk;
    return result;
}

int NullSoundDevice::CreateBuffer(uint32_t size, std::unique_ptr<SoundBuffer>& buffer) {
    int result = control_->Enter(NullSoundStep::CreateBuffer);
    if (result != kSoundOk) return result;
    if (!open_) return kSoundNotOpen;
    if (!IsPlayableSize(size)) return kSoundInvalidSize;
    buffer = std::make_unique<NullSoundBuffer>(control_, size);
    return kSoundOk;
}

SoundDeviceFactory MakeNullSoundFactory(std::shared_ptr<NullSoundControl> control) {
    return [control] { return std::make_unique<NullSoundDevice>(control); };
}

}  // namespace vox

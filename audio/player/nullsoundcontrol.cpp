#include "audio/player/nullsoundcontrol.h"

#include <utility>

namespace vox {

namespace {

size_t IndexOf(NullSoundStep step) { return static_cast<size_t>(step); }

}  // namespace

void NullSoundControl::FailNext(NullSoundStep step, int count, int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    failuresLeft_[IndexOf(step)] = count;
    failureResult_[IndexOf(step)] = result;
}

void NullSoundControl::Hang(NullSoundStep step) {
    std::lock_guard<std::mutex> lock(mutex_);
    hang_[IndexOf(step)] = true;
}

void NullSoundControl::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hang_.fill(false);
    }
    changed_.notify_all();
}

int NullSoundControl::GetCalls(NullSoundStep step) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_[IndexOf(step)];
}

std::vector<NullSoundRecord> NullSoundControl::GetPlayed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
}

int NullSoundControl::GetLiveDevices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return liveDevices_;
}

int NullSoundControl::GetMostPlayingAtOnce() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mostPlaying_;
}

bool NullSoundControl::WaitForCalls(NullSoundStep step, int count,
                                    std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return calls_[IndexOf(step)] >= count; });
}

bool NullSoundControl::WaitForNoDevices(std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return liveDevices_ == 0; });
}

int NullSoundControl::Enter(NullSoundStep step) {
    size_t i = IndexOf(step);
    std::unique_lock<std::mutex> lock(mutex_);
    ++calls_[i];
    changed_.notify_all();
    changed_.wait(lock, [&] { return !hang_[i]; });
    if (failuresLeft_[i] == 0) return 0;
    --failuresLeft_[i];
    return failureResult_[i];
}

void NullSoundControl::DeviceMade() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++liveDevices_;
}

void NullSoundControl::DeviceGone() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --liveDevices_;
    }
    changed_.notify_all();
}

void NullSoundControl::BeginPlaying() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++playing_;
    if (playing_ > mostPlaying_) mostPlaying_ = playing_;
}

void NullSoundControl::EndPlaying(NullSoundRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --playing_;
        played_.push_back(std::move(record));
    }
    changed_.notify_all();
}

}  // namespace vox

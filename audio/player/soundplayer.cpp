#include "audio/player/soundplayer.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <utility>

#include "audio/player/autoresetevent.h"
#include "audio/player/soundqueue.h"

namespace vox {

struct SoundPlayer::Shared {
    Shared(SoundDeviceFactory deviceFactory, SoundTrace traceHook)
        : factory(std::move(deviceFactory)), trace(std::move(traceHook)) {}

    void Enqueue(std::unique_ptr<SoundItem> item);
    void Stop();
    void Run();
    void Drain();
    bool InitDevice();
    void Play(SoundItem& item, SoundPlayerStats& outcome);
    std::unique_ptr<SoundItem> TakeHead();
    void Finish(const SoundPlayerStats& outcome);
    void EndWorker();
    void DiscardQueued();
    bool WaitUntilIdle(std::chrono::milliseconds limit);

    const SoundDeviceFactory factory;
    const SoundTrace trace;
    std::unique_ptr<SoundDevice> device;  // the worker's only
    std::string openProblem;              // the worker's only: why the last open failed
    std::mutex hookLock;
    DropHook dropHook;
    std::atomic<int> stopRequested{0};
    std::atomic<bool> runClaimed{false};
    std::stop_source abortSource;
    AutoResetEvent wakeEvent;

    std::mutex queueLock;  // guards the members below
    std::condition_variable idleChanged;
    SoundQueue queue;
    uint32_t pending = 0;  // queued, or taken by the worker and not yet finished
    bool workerEnded = false;
    SoundPlayerStats stats;
};

void SoundPlayer::Shared::Enqueue(std::unique_ptr<SoundItem> item) {
    if (!item) return;
    {
        std::lock_guard<std::mutex> lock(queueLock);
        queue.Push(std::move(item));
        ++pending;
    }
    wakeEvent.Signal();
}

void SoundPlayer::Shared::Stop() {
    stopRequested = 1;
    wakeEvent.Signal();
}

void SoundPlayer::Shared::Run() {
    if (runClaimed.exchange(true)) return;
    while (stopRequested == 0) {
        wakeEvent.Wait();
        Drain();
    }
    EndWorker();
}

// Plays until the queue is empty or a stop is requested; a stop is seen between sounds only,
// so the sound that plays is never cut off by it.
void SoundPlayer::Shared::Drain() {
    while (stopRequested == 0) {
        std::unique_ptr<SoundItem> item = TakeHead();
        if (!item) return;
        SoundPlayerStats outcome;
        Play(*item, outcome);
        item.reset();
        Finish(outcome);
    }
}

void SoundPlayer::Shared::Play(SoundItem& item, SoundPlayerStats& outcome) {
    if (!device && !InitDevice()) {
        outcome.dropped = 1;
        std::lock_guard<std::mutex> lock(hookLock);
        if (dropHook) dropHook(openProblem);
    } else if (item.Prepare(*device, trace) && item.PlayAndWait(abortSource.get_token(), trace)) {
        outcome.played = 1;
    } else {
        outcome.failed = 1;
    }
}

// A device that failed to open is discarded, so that the next sound tries again: a sound server
// that starts later is found then.
bool SoundPlayer::Shared::InitDevice() {
    std::unique_ptr<SoundDevice> made = factory ? factory() : nullptr;
    if (!made) {
        TraceSoundError(trace, "Create Device", kSoundNoDevice);
        openProblem = SoundResultText(kSoundNoDevice);
        return false;
    }
    int result = made->Open();
    if (result != kSoundOk) {
        TraceSoundError(trace, "Open Device", result);
        openProblem = made->ResultText(result);
        return false;
    }
    device = std::move(made);
    return true;
}

std::unique_ptr<SoundItem> SoundPlayer::Shared::TakeHead() {
    std::lock_guard<std::mutex> lock(queueLock);
    return queue.Pop();
}

void SoundPlayer::Shared::Finish(const SoundPlayerStats& outcome) {
    {
        std::lock_guard<std::mutex> lock(queueLock);
        --pending;
        stats.played += outcome.played;
        stats.failed += outcome.failed;
        stats.dropped += outcome.dropped;
    }
    idleChanged.notify_all();
}

// The device goes with the worker that made it: its calls may block, and they must stay on
// this thread even at the end.
void SoundPlayer::Shared::EndWorker() {
    device.reset();
    {
        std::lock_guard<std::mutex> lock(queueLock);
        workerEnded = true;
    }
    idleChanged.notify_all();
}

// Items are destroyed outside the lock, one at a time, so the worker is never held up by it.
void SoundPlayer::Shared::DiscardQueued() {
    for (;;) {
        std::unique_ptr<SoundItem> item;
        {
            std::lock_guard<std::mutex> lock(queueLock);
            item = queue.Pop();
            if (!item) break;
            --pending;
        }
    }
    idleChanged.notify_all();
}

bool SoundPlayer::Shared::WaitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(queueLock);
    idleChanged.wait_for(lock, limit, [this] { return pending == 0 || workerEnded; });
    return pending == 0;
}

SoundPlayer::SoundPlayer(SoundDeviceFactory factory, SoundTrace trace)
    : shared_(std::make_shared<Shared>(std::move(factory), std::move(trace))) {}

SoundPlayer::~SoundPlayer() {
    shared_->Stop();
    shared_->DiscardQueued();
}

void SoundPlayer::Enqueue(std::unique_ptr<SoundItem> item) { shared_->Enqueue(std::move(item)); }

void SoundPlayer::Stop() { shared_->Stop(); }

void SoundPlayer::AbortSound() { shared_->abortSource.request_stop(); }

void SoundPlayer::Run() { shared_->Run(); }

std::function<void()> SoundPlayer::Worker() const {
    return [shared = shared_] { shared->Run(); };
}

bool SoundPlayer::WaitUntilIdle(std::chrono::milliseconds limit) const {
    return shared_->WaitUntilIdle(limit);
}

void SoundPlayer::SetDropHook(DropHook hook) {
    std::lock_guard<std::mutex> lock(shared_->hookLock);
    shared_->dropHook = std::move(hook);
}

SoundPlayerStats SoundPlayer::GetStats() const {
    std::lock_guard<std::mutex> lock(shared_->queueLock);
    return shared_->stats;
}

}  // namespace vox

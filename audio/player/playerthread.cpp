#include "audio/player/playerthread.h"

#include <functional>
#include <system_error>
#include <utility>

#include "audio/player/autoresetevent.h"
#include "audio/player/soundplayer.h"

namespace vox {

PlayerThread::PlayerThread() = default;

PlayerThread::~PlayerThread() {
    if (thread_.joinable()) thread_.detach();
}

bool PlayerThread::Start(SoundPlayer& player) {
    if (started_) return true;
    auto ended = std::make_shared<AutoResetEvent>();
    std::function<void()> work = player.Worker();
    try {
        thread_ = std::thread([work = std::move(work), ended] {
            work();
            ended->Signal();
        });
    } catch (const std::system_error&) {
        return false;
    }
    ended_ = std::move(ended);
    started_ = true;
    return true;
}

bool PlayerThread::Shutdown(SoundPlayer& player, std::chrono::milliseconds limit) {
    if (!thread_.joinable()) return true;
    player.Stop();
    bool ended = ended_->WaitFor(limit);
    if (!ended) {
        player.AbortSound();
        ended = ended_->WaitFor(kAbortGrace);
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended;
}

}  // namespace vox

#include "audio/player/soundqueue.h"

namespace vox {

SoundQueue::~SoundQueue() { Clear(); }

void SoundQueue::Push(std::unique_ptr<SoundItem> item) {
    if (!item) return;
    SoundItem* raw = item.release();
    raw->next_ = nullptr;
    if (tail_) {
        tail_->next_ = raw;
    } else {
        head_ = raw;
    }
    tail_ = raw;
    ++count_;
}

std::unique_ptr<SoundItem> SoundQueue::Pop() {
    if (!head_) return nullptr;
    std::unique_ptr<SoundItem> item(head_);
    head_ = item->next_;
    if (!head_) tail_ = nullptr;
    item->next_ = nullptr;
    --count_;
    return item;
}

void SoundQueue::Clear() {
    while (Pop()) {
    }
}

}  // namespace vox

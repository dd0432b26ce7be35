#pragma once

#include <cstddef>
#include <memory>

#include "audio/player/sounditem.h"

namespace vox {

// First in, first out list of sounds that owns its items. The items link themselves, so an
// append allocates nothing: queueing a sound costs the item's own allocation only. Not locked:
// the player guards it.
class SoundQueue {
  public:
    SoundQueue() = default;
    ~SoundQueue();
    SoundQueue(const SoundQueue&) = delete;
    SoundQueue& operator=(const SoundQueue&) = delete;

    // Appends at the tail; a null item is ignored.
    void Push(std::unique_ptr<SoundItem> item);
    // Removes the head; null when empty.
    std::unique_ptr<SoundItem> Pop();
    // Destroys every item, one at a time (no recursion, however long the queue).
    void Clear();

    bool IsEmpty() const { return head_ == nullptr; }
    size_t GetCount() const { return count_; }

  private:
    SoundItem* head_ = nullptr;
    SoundItem* tail_ = nullptr;
    size_t count_ = 0;
};

}  // namespace vox

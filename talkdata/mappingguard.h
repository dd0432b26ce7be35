#pragma once

#include <atomic>
#include <cstddef>

namespace vox {

// Keeps a shared file mapping from killing the process when another program truncates the
// file while it is mapped: a read or write through the view past the file's new end raises
// SIGBUS. The handler lays zero pages over the view from the faulting page to its end, marks
// the view damaged and lets the access run again, so it sees zeros (writes there are lost).
// A SIGBUS outside every registered view goes to the handler that was there before, or kills
// the process as it would have without us.
namespace mappingguard {

// Registers a view (installing the handler on first use); the slot to ask and release, or -1
// when every slot is taken, in which case the view simply stays unguarded.
int Register(void* view, size_t length, int protection);
// Forgets the view. Call it before the view is unmapped.
void Release(int slot);
// Whether a fault was contained in the view of that slot since it was registered.
bool IsDamaged(int slot);
// The flag behind IsDamaged, for callers that ask on every access; null for slot -1. It stays
// valid for the life of the program.
const std::atomic<bool>* DamageFlag(int slot);

}  // namespace mappingguard
}  // namespace vox

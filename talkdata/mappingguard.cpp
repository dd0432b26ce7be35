#include "talkdata/mappingguard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace vox::mappingguard {
namespace {

// Each document maps two files; tests and tools hold a few documents at most.
constexpr int kSlots = 128;

// Read by the signal handler, so only lock-free atomics: begin != 0 marks a live slot and is
// stored last when a slot is filled, first when it is emptied.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> begin{0};
    std::atomic<size_t> length{0};
    std::atomic<int> protection{0};
    std::atomic<bool> damaged{false};
};

Slot slots[kSlots];
uintptr_t pageSize = 4096;
struct sigaction previous {};
std::once_flag installed;

// What would have happened without us: the earlier handler, or the default action (the
// signal is blocked while we run, so the raise takes effect when we return).
void PassOn(int signal, siginfo_t* info, void* context) {
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN &&
        previous.sa_handler != nullptr) {
        previous.sa_handler(signal);
        return;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Lays zero pages from the faulting page to the end of the view; true when the fault lay in
// a registered view and is contained.
bool Contain(uintptr_t address) {
    for (Slot& slot : slots) {
        const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0) continue;
        const size_t length = slot.length.load(std::memory_order_relaxed);
        if (address < begin || address - begin >= length) continue;
        const uintptr_t from = address & ~(pageSize - 1);
        const uintptr_t to = (begin + length + pageSize - 1) & ~(pageSize - 1);
        void* laid = mmap(reinterpret_cast<void*>(from), to - from,
                          slot.protection.load(std::memory_order_relaxed),
                          MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (laid == MAP_FAILED) return false;
        slot.damaged.store(true, std::memory_order_release);
        return true;
    }
    return false;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const bool contained =
        info != nullptr && info->si_code > 0 && Contain(reinterpret_cast<uintptr_t>(info->si_addr));
    errno = savedErrno;
    if (!contained) PassOn(signal, info, context);
}

void Install() {
    pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previous);
}

}  // namespace

int Register(void* view, size_t length, int protection) {
    if (view == nullptr || length == 0) return -1;
    std::call_once(installed, Install);
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
        slots[i].length.store(length, std::memory_order_relaxed);
        slots[i].protection.store(protection, std::memory_order_relaxed);
        slots[i].damaged.store(false, std::memory_order_relaxed);
        slots[i].begin.store(reinterpret_cast<uintptr_t>(view), std::memory_order_release);
        return i;
    }
    return -1;
}

void Release(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    slots[slot].begin.store(0, std::memory_order_release);
    slots[slot].taken.store(false, std::memory_order_release);
}

bool IsDamaged(int slot) {
    return slot >= 0 && slot < kSlots && slots[slot].damaged.load(std::memory_order_acquire);
}

const std::atomic<bool>* DamageFlag(int slot) {
    return slot >= 0 && slot < kSlots ? &slots[slot].damaged : nullptr;
}

}  // namespace vox::mappingguard

#pragma once

#include <cstdint>
#include <functional>

namespace vox {

// Told how far a long operation has come; returning false asks it to stop as soon as it can
// without leaving a damaged file. An empty function means nobody is watching.
using ProgressFn = std::function<bool(uint64_t done, uint64_t total)>;

inline bool ReportProgress(const ProgressFn& progress, uint64_t done, uint64_t total) {
    return !progress || progress(done, total);
}

}  // namespace vox

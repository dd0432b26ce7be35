#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace vox::fuzz {

// A property that does not hold is a finding like a crash: report it and abort, so that
// libFuzzer keeps the input that broke it.
inline void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

inline std::span<const uint8_t> AsSpan(const uint8_t* data, size_t size) { return {data, size}; }

}  // namespace vox::fuzz

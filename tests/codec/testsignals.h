#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "tests/support/speechsignals.h"

namespace vox::test {

constexpr int kSampleRate = 8000;

// The parts one after another: wave chunks, or takes made of runs of samples.
template <typename T>
std::vector<T> Concat(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline std::vector<int16_t> ToSamples(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    return samples;
}

// How alike got[i] and want(i) are over [from, to): the normalised correlation (1: the same
// shape), and got's RMS over want's.
inline std::pair<double, double> Likeness(const std::vector<int16_t>& got, size_t from, size_t to,
                                          const std::function<double(size_t)>& want) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < to; ++i) {
        xy += got[i] * want(i);
        xx += double(got[i]) * got[i];
        yy += want(i) * want(i);
    }
    return {xy / std::sqrt(xx * yy), std::sqrt(xx / yy)};
}

}  // namespace vox::test

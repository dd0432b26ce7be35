// Sound files of any format: the reader over any bytes, with and without a cut at the limit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/soundfilereader.h"
#include "audio/wavefile.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

// Small, so that inputs of a few kilobytes already reach the length rule.
constexpr uint32_t kLimit = 4000;

void CheckOne(std::span<const uint8_t> file, bool keepFirstPart) {
    using namespace vox;
    using namespace vox::fuzz;
    SoundFileOptions options;
    options.maxPcmBytes = kLimit;
    options.keepFirstPart = keepFirstPart;
    const SpeechPcm r = ReadSpeechPcm(file, options);
    if (!r.ok) {
        Require(r.pcm.empty() && !r.why.empty() && r.problem != SoundFileProblem::kNone,
                "a refused file gives no samples and says why");
        Require(keepFirstPart || r.problem != SoundFileProblem::kTooLong || r.sourceSeconds > 0,
                "a recording refused as too long has a length");
        return;
    }
    Require(r.problem == SoundFileProblem::kNone && r.why.empty(),
            "an accepted file has no problem");
    Require(r.pcm.size() <= kLimit, "never more samples than the limit");
    Require(r.trimmed == false || keepFirstPart, "a cut only when one was agreed");
    if (r.converted) {
        Require(r.pcm.size() % 2 == 0 && !r.pcm.empty(), "converted samples are whole and there");
        Require(ConversionMessage(r) == "converted from " + r.source,
                "the message names the source");
        return;
    }
    std::vector<uint8_t> speech;
    Require(ReadWaveBytes(file, speech), "only a speech wave is taken unconverted");
    Require(r.trimmed ? std::equal(r.pcm.begin(), r.pcm.end(), speech.begin()) : r.pcm == speech,
            "a speech wave's samples come through as they are");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckOne(vox::fuzz::AsSpan(data, size), false);
    CheckOne(vox::fuzz::AsSpan(data, size), true);
    return 0;
}

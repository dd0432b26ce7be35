// The codec bridge on arbitrary coded bytes: never a write past the caller's buffer.
//
// Input: a u16 (little-endian) giving the output buffer's size, then the coded bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/speechcodec.h"
#include "talkdata/bytes.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

vox::SpeechCodec& Codec() {
    static vox::SpeechCodec* codec = [] {
        auto* made = new vox::SpeechCodec;
        vox::fuzz::Require(made->Init(), "the codec initialises");
        return made;
    }();
    return *codec;
}

// Exactly capacity bytes on the heap, so that AddressSanitizer sees one byte too many.
std::vector<uint8_t> DecodeInto(const uint8_t* coded, uint32_t codedLen, uint32_t capacity,
                                bool& ok, uint32_t& pcmLen) {
    std::vector<uint8_t> out(capacity);
    pcmLen = 0xFFFFFFFF;
    ok = Codec().Decode(coded, codedLen, out.data(), capacity, pcmLen);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vox::fuzz::Require;
    if (size < 2) return 0;
    const uint32_t capacity = vox::ReadU16(data);
    const uint8_t* coded = data + 2;
    const auto codedLen = static_cast<uint32_t>(size - 2);
    bool ok = false;
    uint32_t pcmLen = 0;
    const std::vector<uint8_t> first = DecodeInto(coded, codedLen, capacity, ok, pcmLen);
    if (!ok) {
        Require(pcmLen == 0xFFFFFFFF, "a failed decode leaves the length alone");
        return 0;
    }
    Require(pcmLen <= capacity, "a decode never reports more than the capacity");
    // Every entry decodes from a fresh state: the same bytes give the same samples.
    uint32_t againLen = 0;
    const std::vector<uint8_t> again = DecodeInto(coded, codedLen, capacity, ok, againLen);
    Require(ok && againLen == pcmLen && again == first, "a decode does not depend on the last");
    return 0;
}

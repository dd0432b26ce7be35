#include "audio/entrydecodecheck.h"

#include <algorithm>
#include <memory>
#include <string>

#include "audio/speechcodec.h"

namespace vox {
namespace {

constexpr const char* kRefused = "the codec refuses it, or it holds more sound than its size says";

// The most PCM an entry's coded bytes can give, plus a tail shorter than one frame that the
// coder leaves out but the entry still counts: a decodedSize beyond that (0xFFFFFFFF, say)
// claims sound that is not there.
bool ClaimsMoreThanItHolds(const SpeechCodec& codec, const VoxEntry& entry, std::string* why) {
    const uint32_t codedFrame = codec.GetCodedFrameBytes();
    const uint32_t pcmFrame = codec.GetPcmFrameBytes();
    if (codedFrame == 0 || pcmFrame == 0) return false;
    const uint64_t frames = std::min(entry.codedSize, SpeechCodec::kMaxCodedBytes) / codedFrame;
    const uint64_t most = frames * pcmFrame + pcmFrame - 1;
    if (entry.decodedSize <= most) return false;
    if (why != nullptr) {
        *why = "its decoded size " + std::to_string(entry.decodedSize) + " is more than its " +
               std::to_string(entry.codedSize) + " coded bytes can give (" +
               std::to_string(frames * pcmFrame) + ")";
    }
    return true;
}

}  // namespace

EntryDecodeCheck MakeEntryDecodeCheck(SpeechCodec& codec) {
    return [&codec](const VoxEntry& entry, std::string* why) {
        if (ClaimsMoreThanItHolds(codec, entry, why)) return false;
        const uint32_t capacity = SpeechCodec::DecodeBufferSize(entry.decodedSize);
        auto buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        uint32_t produced = 0;
        if (codec.Decode(entry.data, entry.codedSize, buffer.get(), capacity, produced))
            return true;
        if (why != nullptr) *why = kRefused;
        return false;
    };
}

}  // namespace vox

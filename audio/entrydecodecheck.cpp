#include "audio/entrydecodecheck.h"

#include <algorithm>
#include <memory>

#include "talkdata/document.h"

namespace vox {
namespace {

constexpr uint32_t kDecodeSlack = 500;
constexpr const char* kRefused = "the codec refuses it, or it holds more sound than its size says";

}  // namespace

EntryDecodeCheck MakeEntryDecodeCheck(SpeechCodec& codec) {
    return [&codec](const VoxEntry& entry, std::string* why) {
        const uint32_t capacity =
            std::min(entry.decodedSize, SpeechCodec::kMaxPcmBytes) + kDecodeSlack;
        auto buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        uint32_t produced = 0;
        if (codec.Decode(entry.data, entry.codedSize, buffer.get(), capacity, produced)) return true;
        if (why != nullptr) *why = kRefused;
        return false;
    };
}

EntryDecodeCheck MakeEntryDecodeCheck(CVoxbenchDoc& doc) {
    return [&doc](const VoxEntry& entry, std::string* why) {
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        if (doc.DecodeEntry(entry, pcm, pcmLen)) return true;
        if (why != nullptr) *why = kRefused;
        return false;
    };
}

}  // namespace vox

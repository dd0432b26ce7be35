#include "audio/speechcodec.h"

#include <algorithm>
#include <new>

#include "audio/codec/voxcodec.h"

namespace vox {
namespace {

constexpr uint32_t kFallbackFrameBytes = 4096;

uint32_t FrameBytesAt(const uint8_t* block, uint32_t offset) {
    const uint32_t value = block[offset] | (block[offset + 1] << 8);
    return value != 0 ? value : kFallbackFrameBytes;
}

bool Failed(int result) { return result == VOXCODEC_ERR_ARGUMENT || result == VOXCODEC_ERR_DATA; }

}  // namespace

SpeechCodec::SpeechCodec() = default;

SpeechCodec::~SpeechCodec() {
    if (decoder != nullptr) VoxCodecCloseDecoder(decoder);
    if (encoder != nullptr) VoxCodecCloseEncoder(encoder);
}

bool SpeechCodec::Init() {
    uint8_t initBlock[VOXCODEC_INIT_BLOCK_SIZE] = {};
    uint8_t infoBlock[VOXCODEC_INFO_BLOCK_SIZE] = {};
    VoxCodecInit(initBlock);
    VoxCodecGetInfo(infoBlock, sizeof infoBlock);
    pcmFrameBytes = FrameBytesAt(infoBlock, VOXCODEC_INFO_PCM_FRAME_OFFSET);
    codedFrameBytes = FrameBytesAt(infoBlock, VOXCODEC_INFO_CODED_FRAME_OFFSET);
    if (decoder == nullptr) decoder = VoxCodecOpenDecoder(1);
    if (decoder == nullptr) return false;
    if (encoder == nullptr) encoder = VoxCodecOpenEncoder(1);
    return encoder != nullptr;
}

// Every talk entry is coded from a fresh state, so an entry decodes to the same samples whatever
// was played before it. Closing and opening is the contract's only way to get a fresh state; the
// library hands a closed state out again after a reset, which costs a few microseconds.
void SpeechCodec::ReopenDecoder() {
    if (decoder != nullptr) VoxCodecCloseDecoder(decoder);
    decoder = VoxCodecOpenDecoder(1);
}

void SpeechCodec::ReopenEncoder() {
    if (encoder != nullptr) VoxCodecCloseEncoder(encoder);
    encoder = VoxCodecOpenEncoder(1);
}

bool SpeechCodec::Decode(const uint8_t* coded, uint32_t codedLen, uint8_t* out,
                         uint32_t outCapacity, uint32_t& pcmLen) {
    codedLen = std::min(codedLen, kMaxCodedBytes);
    if ((coded == nullptr && codedLen != 0) || (out == nullptr && outCapacity != 0)) return false;
    ReopenDecoder();
    uint32_t consumed = 0;
    uint32_t written = 0;
    while (consumed < codedLen) {
        uint32_t inCount = std::min(codedLen - consumed, codedFrameBytes);
        // The library is never offered more room than is left, so a corrupt entry cannot make it
        // write past the caller's buffer.
        uint32_t outCount = std::min(pcmFrameBytes, outCapacity - written);
        if (Failed(VoxCodecDecodeFrame(decoder, coded + consumed, &inCount, out + written,
                                       &outCount))) {
            return false;
        }
        // A call that consumes nothing would loop for ever; one that claims more than it was
        // offered cannot be trusted.
        if (inCount == 0 || inCount > codedLen - consumed || outCount > outCapacity - written) {
            return false;
        }
        consumed += inCount;
        written += outCount;
    }
    pcmLen = written;
    return true;
}

bool SpeechCodec::Encode(const uint8_t* pcm, uint32_t pcmLen, std::unique_ptr<uint8_t[]>& coded,
                         uint32_t& codedLen) {
    pcmLen = std::min(pcmLen, kMaxPcmBytes);
    coded.reset(new (std::nothrow) uint8_t[kMaxCodedBytes]());
    if (!coded || (pcm == nullptr && pcmLen != 0)) return false;
    ReopenEncoder();
    uint32_t consumed = 0;
    uint32_t written = 0;
    while (pcmLen - consumed >= pcmFrameBytes) {
        uint16_t inCount = static_cast<uint16_t>(pcmFrameBytes);
        uint16_t outCount =
            static_cast<uint16_t>(std::min(codedFrameBytes, kMaxCodedBytes - written));
        if (Failed(VoxCodecEncodeFrame(encoder, pcm + consumed, &inCount, coded.get() + written,
                                       &outCount))) {
            return false;
        }
        if (inCount == 0 || inCount > pcmLen - consumed || outCount > kMaxCodedBytes - written) {
            return false;
        }
        consumed += inCount;
        written += outCount;
    }
    codedLen = written;
    return true;
}

}  // namespace vox

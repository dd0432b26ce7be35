#include "audio/codec/voxcodec.h"

#include <opus/opus.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

struct VoxCodecEncoder {
    OpusEncoder* opus = nullptr;
};

struct VoxCodecDecoder {
    OpusDecoder* opus = nullptr;
};

namespace {

constexpr int kSampleRate = 8000;
constexpr int kBitRate = 8000;
constexpr int kFrameSamples = VOXCODEC_PCM_FRAME_BYTES / 2;
constexpr int kFrameMs = 20;
// Complexity 10 encodes about 68 times faster than real time here, so a whole 5-second entry
// takes about 75 ms; complexity 5 is twice as fast but its spectral distance to the original is
// about 0.35 dB worse. Encoding happens once per import and the result is kept for good.
constexpr int kComplexity = 10;
// TOC configuration 1: SILK only, narrowband, 20 ms (RFC 6716, section 3.1).
constexpr uint8_t kTocConfig = 1;
constexpr size_t kMaxIdleStates = 4;
constexpr char kDescription[] = "libopus SILK narrowband mono, 8000 Hz, 8000 bit/s CBR, 20 ms";
static_assert(sizeof kDescription <= VOXCODEC_INFO_PCM_FRAME_OFFSET);

// Closed states are kept and handed out again, reset, by the next open: callers reopen once per
// talk entry so that no codec state leaks from one entry into the next, and a decoder reset costs
// about 7 us against about 20 us for a fresh one, which matters for entries of half a second.
template <typename Handle, void (*Destroy)(Handle*)>
class IdleStates {
  public:
    Handle* Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (idle_.empty()) return nullptr;
        Handle* handle = idle_.back();
        idle_.pop_back();
        return handle;
    }
    void Give(Handle* handle) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (idle_.size() < kMaxIdleStates) {
                idle_.push_back(handle);
                return;
            }
        }
        Destroy(handle);
    }

  private:
    std::mutex mutex_;
    std::vector<Handle*> idle_;
};

void DestroyEncoder(VoxCodecEncoder* encoder) {
    opus_encoder_destroy(encoder->opus);
    delete encoder;
}

void DestroyDecoder(VoxCodecDecoder* decoder) {
    opus_decoder_destroy(decoder->opus);
    delete decoder;
}

// Never destroyed, so that a handle closed while static objects are torn down at exit still has a
// place to go; the idle states stay reachable and are released with the process.
IdleStates<VoxCodecEncoder, DestroyEncoder>& IdleEncoders() {
    static auto* states = new IdleStates<VoxCodecEncoder, DestroyEncoder>;
    return *states;
}

IdleStates<VoxCodecDecoder, DestroyDecoder>& IdleDecoders() {
    static auto* states = new IdleStates<VoxCodecDecoder, DestroyDecoder>;
    return *states;
}

bool ConfigureEncoder(OpusEncoder* opus) {
    return opus_encoder_ctl(opus, OPUS_SET_VBR(0)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_BITRATE(kBitRate)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_MAX_BANDWIDTH(OPUS_BANDWIDTH_NARROWBAND)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_DTX(0)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_INBAND_FEC(0)) == OPUS_OK &&
           opus_encoder_ctl(opus, OPUS_SET_COMPLEXITY(kComplexity)) == OPUS_OK;
}

VoxCodecEncoder* NewEncoder() {
    int error = OPUS_OK;
    OpusEncoder* opus = opus_encoder_create(kSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    if (opus == nullptr || error != OPUS_OK) return nullptr;
    VoxCodecEncoder* encoder = new (std::nothrow) VoxCodecEncoder;
    if (encoder == nullptr) {
        opus_encoder_destroy(opus);
        return nullptr;
    }
    encoder->opus = opus;
    return encoder;
}

VoxCodecDecoder* NewDecoder() {
    int error = OPUS_OK;
    OpusDecoder* opus = opus_decoder_create(kSampleRate, 1, &error);
    if (opus == nullptr || error != OPUS_OK) return nullptr;
    VoxCodecDecoder* decoder = new (std::nothrow) VoxCodecDecoder;
    if (decoder == nullptr) {
        opus_decoder_destroy(opus);
        return nullptr;
    }
    decoder->opus = opus;
    return decoder;
}

void PutU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
    PutU16(at, static_cast<uint16_t>(value));
    PutU16(at + 2, static_cast<uint16_t>(value >> 16));
}

// libopus decodes many damaged or foreign packets without complaint, and a packet claiming a
// longer frame would produce more samples than one frame holds. Only the packets this library
// writes pass: one mono SILK narrowband frame of 20 ms in exactly VOXCODEC_CODED_FRAME_BYTES.
bool IsOwnPacket(const uint8_t* packet) {
    const uint8_t toc = packet[0];
    if ((toc >> 3) != kTocConfig || (toc & 0x04) != 0) return false;
    if (opus_packet_get_nb_frames(packet, VOXCODEC_CODED_FRAME_BYTES) != 1) return false;
    return opus_packet_get_nb_samples(packet, VOXCODEC_CODED_FRAME_BYTES, kSampleRate) ==
           kFrameSamples;
}

}  // namespace

extern "C" {

VoxCodecEncoder* VoxCodecOpenEncoder(int mode) {
    if (mode != 1) return nullptr;
    VoxCodecEncoder* encoder = IdleEncoders().Take();
    if (encoder != nullptr && opus_encoder_ctl(encoder->opus, OPUS_RESET_STATE) != OPUS_OK) {
        DestroyEncoder(encoder);
        encoder = nullptr;
    }
    if (encoder == nullptr) encoder = NewEncoder();
    if (encoder == nullptr) return nullptr;
    if (!ConfigureEncoder(encoder->opus)) {
        DestroyEncoder(encoder);
        return nullptr;
    }
    return encoder;
}

int VoxCodecEncodeFrame(VoxCodecEncoder* encoder, const uint8_t* in, uint16_t* inCount,
                        uint8_t* out, uint16_t* outCount) {
    if (encoder == nullptr || in == nullptr || inCount == nullptr || out == nullptr ||
        outCount == nullptr) {
        return VOXCODEC_ERR_ARGUMENT;
    }
    if (*inCount < VOXCODEC_PCM_FRAME_BYTES || *outCount < VOXCODEC_CODED_FRAME_BYTES) {
        return VOXCODEC_ERR_ARGUMENT;
    }
    opus_int16 samples[kFrameSamples];
    for (int i = 0; i < kFrameSamples; ++i) {
        samples[i] = static_cast<opus_int16>(in[2 * i] | (in[2 * i + 1] << 8));
    }
    const opus_int32 written =
        opus_encode(encoder->opus, samples, kFrameSamples, out, VOXCODEC_CODED_FRAME_BYTES);
    if (written != VOXCODEC_CODED_FRAME_BYTES) return VOXCODEC_ERR_DATA;
    *inCount = VOXCODEC_PCM_FRAME_BYTES;
    *outCount = VOXCODEC_CODED_FRAME_BYTES;
    return VOXCODEC_OK;
}

void VoxCodecCloseEncoder(VoxCodecEncoder* encoder) {
    if (encoder != nullptr) IdleEncoders().Give(encoder);
}

VoxCodecDecoder* VoxCodecOpenDecoder(int mode) {
    if (mode != 1) return nullptr;
    VoxCodecDecoder* decoder = IdleDecoders().Take();
    if (decoder != nullptr && opus_decoder_ctl(decoder->opus, OPUS_RESET_STATE) != OPUS_OK) {
        DestroyDecoder(decoder);
        decoder = nullptr;
    }
    return decoder != nullptr ? decoder : NewDecoder();
}

int VoxCodecDecodeFrame(VoxCodecDecoder* decoder, const uint8_t* in, uint32_t* inCount,
                        uint8_t* out, uint32_t* outCount) {
    if (decoder == nullptr || in == nullptr || inCount == nullptr || out == nullptr ||
        outCount == nullptr) {
        return VOXCODEC_ERR_ARGUMENT;
    }
    if (*outCount < VOXCODEC_PCM_FRAME_BYTES) return VOXCODEC_ERR_ARGUMENT;
    if (*inCount < VOXCODEC_CODED_FRAME_BYTES || !IsOwnPacket(in)) return VOXCODEC_ERR_DATA;
    opus_int16 samples[kFrameSamples];
    // Forward error correction stays off so that every build decodes to the same samples.
    const int decoded =
        opus_decode(decoder->opus, in, VOXCODEC_CODED_FRAME_BYTES, samples, kFrameSamples, 0);
    if (decoded != kFrameSamples) return VOXCODEC_ERR_DATA;
    for (int i = 0; i < kFrameSamples; ++i) {
        PutU16(out + 2 * i, static_cast<uint16_t>(samples[i]));
    }
    *inCount = VOXCODEC_CODED_FRAME_BYTES;
    *outCount = VOXCODEC_PCM_FRAME_BYTES;
    return VOXCODEC_OK;
}

void VoxCodecCloseDecoder(VoxCodecDecoder* decoder) {
    if (decoder != nullptr) IdleDecoders().Give(decoder);
}

int VoxCodecInit(uint8_t* block) {
    if (block == nullptr) return VOXCODEC_ERR_ARGUMENT;
    std::memset(block, 0, VOXCODEC_INIT_BLOCK_SIZE);
    PutU32(block + 0, 1);  // version of this contract
    PutU32(block + 4, kSampleRate);
    PutU32(block + 8, kBitRate);
    PutU16(block + 12, 1);  // channels
    PutU16(block + 14, kFrameMs);
    return VOXCODEC_OK;
}

int VoxCodecGetInfo(uint8_t* block, uint32_t blockSize) {
    constexpr uint32_t kNeeded = VOXCODEC_INFO_CODED_FRAME_OFFSET + 2;
    if (block == nullptr || blockSize < kNeeded) return VOXCODEC_ERR_ARGUMENT;
    const uint32_t size = std::min<uint32_t>(blockSize, VOXCODEC_INFO_BLOCK_SIZE);
    std::memset(block, 0, size);
    std::memcpy(block, kDescription, sizeof kDescription);
    PutU16(block + VOXCODEC_INFO_PCM_FRAME_OFFSET, VOXCODEC_PCM_FRAME_BYTES);
    PutU16(block + VOXCODEC_INFO_CODED_FRAME_OFFSET, VOXCODEC_CODED_FRAME_BYTES);
    return VOXCODEC_OK;
}

}  // extern "C"

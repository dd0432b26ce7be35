#ifndef VOX_AUDIO_SPEECHCODEC_H
#define VOX_AUDIO_SPEECHCODEC_H

#include <cstdint>
#include <memory>

struct VoxCodecEncoder;
struct VoxCodecDecoder;

namespace vox {

// The bridge to the speech codec library; it calls nothing but the library's eight entry points.
// PCM is 16-bit mono at 8000 Hz; counts are bytes.
class SpeechCodec {
  public:
    static constexpr uint32_t kMaxCodedBytes = 5060;
    static constexpr uint32_t kMaxPcmBytes = 80960;
    // Room a decoder may use beyond the sound it produces.
    static constexpr uint32_t kDecodeSlack = 500;

    // The buffer a decode of an entry needs: its decodedSize, but never more than the codec can
    // produce (a corrupt size must not make a decode allocate gigabytes), plus the slack.
    static constexpr uint32_t DecodeBufferSize(uint32_t decodedSize) {
        return (decodedSize < kMaxPcmBytes ? decodedSize : kMaxPcmBytes) + kDecodeSlack;
    }

    SpeechCodec();
    virtual ~SpeechCodec();
    SpeechCodec(const SpeechCodec&) = delete;
    SpeechCodec& operator=(const SpeechCodec&) = delete;

    bool Init();

    // Decodes codedLen bytes (clamped to kMaxCodedBytes) into out. outCapacity is the size of out;
    // a decode that would write past it fails. pcmLen is untouched on failure.
    bool Decode(const uint8_t* coded, uint32_t codedLen, uint8_t* out, uint32_t outCapacity,
                uint32_t& pcmLen);

    // Encodes pcmLen bytes (clamped to kMaxPcmBytes); a tail shorter than one frame is not
    // encoded. Allocates the coded buffer for the caller, who owns it whatever the result.
    bool Encode(const uint8_t* pcm, uint32_t pcmLen, std::unique_ptr<uint8_t[]>& coded,
                uint32_t& codedLen);

    uint32_t GetPcmFrameBytes() const { return pcmFrameBytes; }
    uint32_t GetCodedFrameBytes() const { return codedFrameBytes; }

  private:
    void ReopenDecoder();
    void ReopenEncoder();

    uint32_t codedFrameBytes = 0;
    uint32_t pcmFrameBytes = 0;
    VoxCodecDecoder* decoder = nullptr;
    VoxCodecEncoder* encoder = nullptr;
};

}  // namespace vox

#endif

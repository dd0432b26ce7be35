// The codec library's eight entry points, called directly.
#include "audio/codec/voxcodec.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/codec/testsignals.h"

namespace vox::test {
namespace {

constexpr uint16_t kPcmFrame = VOXCODEC_PCM_FRAME_BYTES;
constexpr uint16_t kCodedFrame = VOXCODEC_CODED_FRAME_BYTES;
constexpr uint8_t kGuard = 0xA5;

std::vector<uint8_t> EncodeFrames(const std::vector<uint8_t>& pcm) {
    VoxCodecEncoder* encoder = VoxCodecOpenEncoder(1);
    EXPECT_NE(encoder, nullptr);
    std::vector<uint8_t> coded;
    for (size_t at = 0; at + kPcmFrame <= pcm.size(); at += kPcmFrame) {
        uint8_t packet[kCodedFrame];
        uint16_t in = kPcmFrame;
        uint16_t out = kCodedFrame;
        EXPECT_EQ(VoxCodecEncodeFrame(encoder, pcm.data() + at, &in, packet, &out), VOXCODEC_OK);
        EXPECT_EQ(in, kPcmFrame);
        EXPECT_EQ(out, kCodedFrame);
        coded.insert(coded.end(), packet, packet + kCodedFrame);
    }
    VoxCodecCloseEncoder(encoder);
    return coded;
}

// Decodes one packet into a frame-sized buffer followed by guard bytes; returns the result and
// checks that nothing beyond the frame was touched.
int DecodeGuarded(VoxCodecDecoder* decoder, const uint8_t* packet, uint32_t packetLen,
                  uint32_t* consumed = nullptr) {
    std::vector<uint8_t> out(kPcmFrame + 64, kGuard);
    uint32_t in = packetLen;
    uint32_t outCount = kPcmFrame;
    const int result = VoxCodecDecodeFrame(decoder, packet, &in, out.data(), &outCount);
    for (size_t i = kPcmFrame; i < out.size(); ++i) EXPECT_EQ(out[i], kGuard) << "byte " << i;
    if (consumed != nullptr) *consumed = in;
    return result;
}

// The info block states the frame sizes at bytes 110 and 112; a block too small for them is
// refused untouched, and nothing beyond a block's size is ever written.
TEST(VoxCodecBlocks, InfoAndInitBlocksAreFilledWithinTheirSizes) {
    uint8_t block[VOXCODEC_INFO_BLOCK_SIZE + 8];
    std::fill(std::begin(block), std::end(block), kGuard);
    EXPECT_EQ(VoxCodecGetInfo(block, 113), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(VoxCodecGetInfo(nullptr, VOXCODEC_INFO_BLOCK_SIZE), VOXCODEC_ERR_ARGUMENT);
    for (uint8_t b : block) EXPECT_EQ(b, kGuard);
    ASSERT_EQ(VoxCodecGetInfo(block, 114), VOXCODEC_OK);
    EXPECT_EQ(block[110] | (block[111] << 8), 320);
    EXPECT_EQ(block[112] | (block[113] << 8), 20);
    for (size_t i = 114; i < sizeof block; ++i) EXPECT_EQ(block[i], kGuard);
    ASSERT_EQ(VoxCodecGetInfo(block, VOXCODEC_INFO_BLOCK_SIZE), VOXCODEC_OK);
    for (size_t i = VOXCODEC_INFO_BLOCK_SIZE; i < sizeof block; ++i) EXPECT_EQ(block[i], kGuard);

    uint8_t init[VOXCODEC_INIT_BLOCK_SIZE + 8];
    std::fill(std::begin(init), std::end(init), kGuard);
    EXPECT_EQ(VoxCodecInit(init), VOXCODEC_OK);
    EXPECT_EQ(init[4] | (init[5] << 8), 8000);
    for (size_t i = VOXCODEC_INIT_BLOCK_SIZE; i < sizeof init; ++i) EXPECT_EQ(init[i], kGuard);
    EXPECT_EQ(VoxCodecInit(nullptr), VOXCODEC_ERR_ARGUMENT);
}

TEST(VoxCodecEncode, EveryFrameIsExactlyTwentyBytesWhateverTheSignal) {
    std::vector<std::vector<uint8_t>> signals = {
        std::vector<uint8_t>(kPcmFrame * 10, 0),     // silence
        NoiseBytes(kPcmFrame * 10, 7),               // full-band noise
        SinePcm(440, kPcmFrame * 5, 30000),          // loud tone
        std::vector<uint8_t>(kPcmFrame * 10, 0x7F),  // DC near full scale
    };
    for (const auto& pcm : signals) {
        EXPECT_EQ(EncodeFrames(pcm).size(), pcm.size() / kPcmFrame * kCodedFrame);
    }
}

TEST(VoxCodecEncode, CountsTooSmallForOneFrameAreRefused) {
    VoxCodecEncoder* encoder = VoxCodecOpenEncoder(1);
    ASSERT_NE(encoder, nullptr);
    std::vector<uint8_t> pcm(kPcmFrame, 0);
    uint8_t out[kCodedFrame + 4];
    uint16_t in = kPcmFrame - 1;
    uint16_t outCount = kCodedFrame;
    EXPECT_EQ(VoxCodecEncodeFrame(encoder, pcm.data(), &in, out, &outCount), VOXCODEC_ERR_ARGUMENT);
    in = kPcmFrame;
    outCount = kCodedFrame - 1;
    EXPECT_EQ(VoxCodecEncodeFrame(encoder, pcm.data(), &in, out, &outCount), VOXCODEC_ERR_ARGUMENT);
    outCount = kCodedFrame;
    EXPECT_EQ(VoxCodecEncodeFrame(nullptr, pcm.data(), &in, out, &outCount), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(VoxCodecEncodeFrame(encoder, nullptr, &in, out, &outCount), VOXCODEC_ERR_ARGUMENT);
    // More input and room than one frame: exactly one frame is consumed and written.
    std::vector<uint8_t> more(kPcmFrame * 3, 0);
    in = static_cast<uint16_t>(more.size());
    outCount = sizeof out;
    EXPECT_EQ(VoxCodecEncodeFrame(encoder, more.data(), &in, out, &outCount), VOXCODEC_OK);
    EXPECT_EQ(in, kPcmFrame);
    EXPECT_EQ(outCount, kCodedFrame);
    VoxCodecCloseEncoder(encoder);
}

TEST(VoxCodecDecode, OwnPacketsDecodeToOneFrame) {
    const std::vector<uint8_t> coded = EncodeFrames(SinePcm(300, 160 * 20, 8000));
    VoxCodecDecoder* decoder = VoxCodecOpenDecoder(1);
    ASSERT_NE(decoder, nullptr);
    for (size_t at = 0; at < coded.size(); at += kCodedFrame) {
        uint32_t consumed = 0;
        // Offered more than a packet, the decoder takes one packet.
        EXPECT_EQ(DecodeGuarded(decoder, coded.data() + at, uint32_t(coded.size() - at), &consumed),
                  VOXCODEC_OK);
        EXPECT_EQ(consumed, kCodedFrame);
    }
    VoxCodecCloseDecoder(decoder);
}

TEST(VoxCodecDecode, TruncatedPacketsAndShortOutputAreRefused) {
    const std::vector<uint8_t> coded = EncodeFrames(SinePcm(300, 160, 8000));
    VoxCodecDecoder* decoder = VoxCodecOpenDecoder(1);
    ASSERT_NE(decoder, nullptr);
    for (uint32_t len = 0; len < kCodedFrame; ++len) {
        EXPECT_EQ(DecodeGuarded(decoder, coded.data(), len), VOXCODEC_ERR_DATA) << len;
    }
    std::vector<uint8_t> out(kPcmFrame);
    uint32_t in = kCodedFrame;
    uint32_t outCount = kPcmFrame - 1;
    EXPECT_EQ(VoxCodecDecodeFrame(decoder, coded.data(), &in, out.data(), &outCount),
              VOXCODEC_ERR_ARGUMENT);
    outCount = kPcmFrame;
    EXPECT_EQ(VoxCodecDecodeFrame(nullptr, coded.data(), &in, out.data(), &outCount),
              VOXCODEC_ERR_ARGUMENT);
    VoxCodecCloseDecoder(decoder);
}

TEST(VoxCodecDecode, HeadersOfOtherConfigurationsAreRefused) {
    std::vector<uint8_t> packet = EncodeFrames(SinePcm(300, 160, 8000));
    ASSERT_EQ(packet.size(), kCodedFrame);
    VoxCodecDecoder* decoder = VoxCodecOpenDecoder(1);
    ASSERT_NE(decoder, nullptr);
    const uint8_t foreignTocs[] = {
        0x00,  // SILK narrowband 10 ms
        0x18,  // SILK narrowband 60 ms: would decode to 480 samples
        0x0C,  // the stereo flag
        0x09,  // two frames in the packet
        0xF8,  // CELT fullband 20 ms
        0x78,  // hybrid fullband 20 ms
        0x0A,  // two frames of different sizes
    };
    for (uint8_t toc : foreignTocs) {
        packet[0] = toc;
        EXPECT_EQ(DecodeGuarded(decoder, packet.data(), kCodedFrame), VOXCODEC_ERR_DATA)
            << int(toc);
    }
    // A code-3 header claiming several frames (count byte 3): 60 ms in one packet.
    packet[0] = 0x0B;
    packet[1] = 0x03;
    EXPECT_EQ(DecodeGuarded(decoder, packet.data(), kCodedFrame), VOXCODEC_ERR_DATA);
    VoxCodecCloseDecoder(decoder);
}

TEST(VoxCodecHandles, OnlyModeOneOpensAndNullClosesHarmlessly) {
    EXPECT_EQ(VoxCodecOpenEncoder(0), nullptr);
    EXPECT_EQ(VoxCodecOpenDecoder(2), nullptr);
    VoxCodecCloseEncoder(nullptr);
    VoxCodecCloseDecoder(nullptr);
    // More handles at once than the library keeps for reuse.
    std::vector<VoxCodecDecoder*> decoders;
    std::vector<VoxCodecEncoder*> encoders;
    for (int i = 0; i < 8; ++i) {
        decoders.push_back(VoxCodecOpenDecoder(1));
        encoders.push_back(VoxCodecOpenEncoder(1));
        ASSERT_NE(decoders.back(), nullptr);
        ASSERT_NE(encoders.back(), nullptr);
    }
    for (auto* d : decoders) VoxCodecCloseDecoder(d);
    for (auto* e : encoders) VoxCodecCloseEncoder(e);
}

}  // namespace
}  // namespace vox::test

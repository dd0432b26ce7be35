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

// A block too small for the frame sizes (at bytes 110 and 112, which the bridge reads) is refused
// untouched, and nothing beyond a block's size is ever written.
TEST(VoxCodecBlocks, ShortOrMissingBlocksAreRefused) {
    uint8_t block[VOXCODEC_INFO_BLOCK_SIZE];
    std::fill(std::begin(block), std::end(block), kGuard);
    EXPECT_EQ(VoxCodecGetInfo(block, 113), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(block[0], kGuard);
    EXPECT_EQ(VoxCodecGetInfo(block, 114), VOXCODEC_OK);
    EXPECT_EQ(block[114], kGuard);
    EXPECT_EQ(VoxCodecGetInfo(nullptr, VOXCODEC_INFO_BLOCK_SIZE), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(VoxCodecInit(nullptr), VOXCODEC_ERR_ARGUMENT);
}

// More input and room than one frame consume and write exactly one.
TEST(VoxCodecEncode, FramesAreTwentyBytesAndShortCountsAreRefused) {
    VoxCodecEncoder* encoder = VoxCodecOpenEncoder(1);
    ASSERT_NE(encoder, nullptr);
    uint8_t out[kCodedFrame + 4];
    const auto encode = [&](VoxCodecEncoder* e, const uint8_t* in, uint16_t inCount,
                            uint16_t outCount) {
        return VoxCodecEncodeFrame(e, in, &inCount, out, &outCount);
    };
    const std::vector<uint8_t> pcm(kPcmFrame * 3, 0);
    EXPECT_EQ(encode(encoder, pcm.data(), kPcmFrame - 1, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(encoder, pcm.data(), kPcmFrame, kCodedFrame - 1), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(nullptr, pcm.data(), kPcmFrame, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(encoder, nullptr, kPcmFrame, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    uint16_t in = kPcmFrame * 3;
    uint16_t outCount = sizeof out;
    ASSERT_EQ(VoxCodecEncodeFrame(encoder, pcm.data(), &in, out, &outCount), VOXCODEC_OK);
    EXPECT_EQ(in, kPcmFrame);
    EXPECT_EQ(outCount, kCodedFrame);
    VoxCodecCloseEncoder(encoder);
}

// Only this library's own packets decode: truncated ones, foreign headers and output room short
// of a frame are refused without writing past the frame.
TEST(VoxCodecDecode, OnlyWholeOwnPacketsDecode) {
    std::vector<uint8_t> coded = CodedPcm(SinePcm(300, 160 * 3, 8000));
    VoxCodecDecoder* decoder = VoxCodecOpenDecoder(1);
    ASSERT_NE(decoder, nullptr);
    const auto decode = [&](VoxCodecDecoder* d, uint32_t inCount, uint32_t outCount = kPcmFrame) {
        std::vector<uint8_t> out(kPcmFrame + 64, kGuard);
        const int result = VoxCodecDecodeFrame(d, coded.data(), &inCount, out.data(), &outCount);
        EXPECT_EQ(out[kPcmFrame], kGuard);
        return result == VOXCODEC_OK ? int(inCount) : result;
    };
    EXPECT_EQ(decode(decoder, uint32_t(coded.size())), kCodedFrame) << "one packet is taken";
    EXPECT_EQ(decode(decoder, kCodedFrame, kPcmFrame - 1), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(decode(nullptr, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    for (uint32_t len : {0u, 1u, kCodedFrame - 1u})
        EXPECT_EQ(decode(decoder, len), VOXCODEC_ERR_DATA) << len;
    // SILK 10 ms and 60 ms, stereo, two frames, CELT, hybrid, two frames of different sizes.
    for (uint8_t toc : {0x00, 0x18, 0x0C, 0x09, 0xF8, 0x78, 0x0A}) {
        coded[0] = toc;
        EXPECT_EQ(decode(decoder, kCodedFrame), VOXCODEC_ERR_DATA) << int(toc);
    }
    // A code-3 header claiming three frames: 60 ms in one packet.
    coded[0] = 0x0B;
    coded[1] = 0x03;
    EXPECT_EQ(decode(decoder, kCodedFrame), VOXCODEC_ERR_DATA);
    VoxCodecCloseDecoder(decoder);
}

TEST(VoxCodecHandles, OnlyModeOneOpensAndNullClosesHarmlessly) {
    EXPECT_EQ(VoxCodecOpenEncoder(0), nullptr);
    EXPECT_EQ(VoxCodecOpenDecoder(2), nullptr);
    VoxCodecCloseEncoder(nullptr);
    VoxCodecCloseDecoder(nullptr);
    // More handles at once than the library keeps for reuse.
    std::vector<std::pair<VoxCodecEncoder*, VoxCodecDecoder*>> handles;
    for (int i = 0; i < 8; ++i)
        handles.emplace_back(VoxCodecOpenEncoder(1), VoxCodecOpenDecoder(1));
    for (auto [encoder, decoder] : handles) {
        EXPECT_TRUE(encoder != nullptr && decoder != nullptr);
        VoxCodecCloseEncoder(encoder);
        VoxCodecCloseDecoder(decoder);
    }
}

}  // namespace
}  // namespace vox::test

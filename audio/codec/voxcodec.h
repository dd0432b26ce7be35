// The speech codec library: eight C entry points, so that another codec with the same contract
// can replace this one without touching its callers. Inside it is libopus, fixed as a file-format
// decision: 8000 Hz mono, hard CBR at 8000 bit/s, 20 ms frames, so every frame of 320 PCM bytes
// codes into exactly 20 bytes.
#ifndef VOX_AUDIO_CODEC_VOXCODEC_H
#define VOX_AUDIO_CODEC_VOXCODEC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VoxCodecEncoder VoxCodecEncoder;
typedef struct VoxCodecDecoder VoxCodecDecoder;

enum {
    VOXCODEC_OK = 0,
    VOXCODEC_ERR_ARGUMENT = -2,  // null handle or pointer, or a count too small for one frame
    VOXCODEC_ERR_DATA = -3       // corrupt input or a codec failure
};

enum {
    VOXCODEC_INIT_BLOCK_SIZE = 56,
    VOXCODEC_INFO_BLOCK_SIZE = 122,
    VOXCODEC_INFO_PCM_FRAME_OFFSET = 110,    // u16, little-endian
    VOXCODEC_INFO_CODED_FRAME_OFFSET = 112,  // u16, little-endian
    VOXCODEC_PCM_FRAME_BYTES = 320,
    VOXCODEC_CODED_FRAME_BYTES = 20
};

// Role 1: opens an encoder; mode must be 1. Returns null on failure.
VoxCodecEncoder* VoxCodecOpenEncoder(int mode);

// Role 2: encodes one frame. On entry *inCount is the PCM bytes available and *outCount the room
// in out; on return they hold the bytes consumed and written. Returns 0, or -2/-3 on failure.
int VoxCodecEncodeFrame(VoxCodecEncoder* encoder, const uint8_t* in, uint16_t* inCount,
                        uint8_t* out, uint16_t* outCount);

// Role 3: closes an encoder; null is ignored.
void VoxCodecCloseEncoder(VoxCodecEncoder* encoder);

// Role 4: opens a decoder; mode must be 1. Returns null on failure.
VoxCodecDecoder* VoxCodecOpenDecoder(int mode);

// Role 5: decodes one frame. Counts as in VoxCodecEncodeFrame. Only whole frames of the one
// configuration this library writes are accepted; anything else fails with -3.
int VoxCodecDecodeFrame(VoxCodecDecoder* decoder, const uint8_t* in, uint32_t* inCount,
                        uint8_t* out, uint32_t* outCount);

// Role 6: closes a decoder; null is ignored.
void VoxCodecCloseDecoder(VoxCodecDecoder* decoder);

// Role 7: fills the VOXCODEC_INIT_BLOCK_SIZE-byte block with the library's fixed setup.
int VoxCodecInit(uint8_t* block);

// Role 8: fills the info block (at least 114 bytes, at most 122 are written) with the frame sizes.
int VoxCodecGetInfo(uint8_t* block, uint32_t blockSize);

#ifdef __cplusplus
}
#endif

#endif

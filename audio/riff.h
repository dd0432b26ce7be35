#ifndef VOX_AUDIO_RIFF_H
#define VOX_AUDIO_RIFF_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// A chunk code as it stands in the file, read as a little-endian u32.
constexpr uint32_t MakeFourCC(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

inline constexpr uint32_t kRiffId = MakeFourCC("RIFF");
inline constexpr uint32_t kListId = MakeFourCC("LIST");

struct RiffChunk {
    uint32_t id = 0;
    uint32_t size = 0;        // as declared, without the pad byte that follows an odd size
    uint32_t formType = 0;    // "RIFF" and "LIST" chunks only
    uint64_t dataOffset = 0;  // first byte after the size field (the form type, if any)
};

// Reads chunks from a byte span with every length checked against what is really there.
class RiffReader {
  public:
    explicit RiffReader(ByteSpan bytes) : bytes_(bytes) {}

    // Searches onward from the current position for a chunk with this id (and, for "RIFF" and
    // "LIST", this form type), inside parent or, when parent is null, at the top level. Chunks that
    // do not match are skipped. On success the position is at the chunk's data, after the form
    // type. A chunk may declare more data than the input holds: Read then comes up short.
    bool Descend(RiffChunk& chunk, const RiffChunk* parent, uint32_t id, uint32_t formType = 0);

    // Moves the position past the chunk's data and its pad byte.
    void Ascend(const RiffChunk& chunk);

    // Copies up to count bytes from the current position; returns how many were there.
    size_t Read(uint8_t* out, size_t count);

    // Bytes of input from the current position to its end.
    uint64_t Remaining() const;

  private:
    uint64_t EndOf(const RiffChunk* parent) const;
    bool U32At(uint64_t offset, uint32_t& value) const;

    ByteSpan bytes_;
    uint64_t pos_ = 0;
};

// Builds chunks in a memory buffer; sizes are fixed when a chunk is ascended out of.
class RiffWriter {
  public:
    // Starts a chunk at the end of the buffer; "RIFF" and "LIST" chunks get their form type.
    void CreateChunk(RiffChunk& chunk, uint32_t id, uint32_t formType = 0);

    void Write(const uint8_t* data, size_t count);

    // Writes the chunk's size and, after an odd size, the pad byte. False when the chunk has
    // grown beyond what a u32 size can state.
    bool Ascend(const RiffChunk& chunk);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

  private:
    void PutU32(uint32_t value);

    std::vector<uint8_t> bytes_;
};

}  // namespace vox

#endif

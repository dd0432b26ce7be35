#include "audio/riff.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vox {
namespace {

constexpr uint64_t kHeaderBytes = 8;

bool HasFormType(uint32_t id) { return id == kRiffId || id == kListId; }

// Odd-sized chunks are followed by one pad byte that the size does not count.
uint64_t PaddedEnd(const RiffChunk& chunk) {
    return chunk.dataOffset + chunk.size + (chunk.size & 1u);
}

}  // namespace

bool RiffReader::U32At(uint64_t offset, uint32_t& value) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) return false;
    value = ReadU32(bytes_.data() + offset);
    return true;
}

uint64_t RiffReader::EndOf(const RiffChunk* parent) const {
    const uint64_t inputEnd = bytes_.size();
    if (parent == nullptr) return inputEnd;
    return std::min(inputEnd, parent->dataOffset + parent->size);
}

bool RiffReader::Descend(RiffChunk& chunk, const RiffChunk* parent, uint32_t id,
                         uint32_t formType) {
    const uint64_t end = EndOf(parent);
    uint64_t pos = pos_;
    while (pos < end && end - pos >= kHeaderBytes) {
        RiffChunk found;
        U32At(pos, found.id);
        U32At(pos + 4, found.size);
        found.dataOffset = pos + kHeaderBytes;
        const bool wantsForm = HasFormType(id);
        bool matches = found.id == id;
        if (matches && wantsForm) {
            matches = found.size >= 4 && U32At(found.dataOffset, found.formType) &&
                      found.formType == formType;
        }
        if (matches) {
            chunk = found;
            pos_ = found.dataOffset + (wantsForm ? 4 : 0);
            return true;
        }
        pos = PaddedEnd(found);
    }
    return false;
}

void RiffReader::Ascend(const RiffChunk& chunk) { pos_ = PaddedEnd(chunk); }

size_t RiffReader::Read(uint8_t* out, size_t count) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, Remaining()));
    if (n > 0) std::memcpy(out, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

uint64_t RiffReader::Remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }

void RiffWriter::PutU32(uint32_t value) {
    uint8_t field[4];
    WriteU32(field, value);
    bytes_.insert(bytes_.end(), field, field + 4);
}

void RiffWriter::CreateChunk(RiffChunk& chunk, uint32_t id, uint32_t formType) {
    chunk = RiffChunk{};
    chunk.id = id;
    PutU32(id);
    PutU32(0);
    chunk.dataOffset = bytes_.size();
    if (HasFormType(id)) {
        chunk.formType = formType;
        PutU32(formType);
    }
}

void RiffWriter::Write(const uint8_t* data, size_t count) {
    if (count > 0) bytes_.insert(bytes_.end(), data, data + count);
}

bool RiffWriter::Ascend(const RiffChunk& chunk) {
    const uint64_t size = bytes_.size() - chunk.dataOffset;
    if (size > std::numeric_limits<uint32_t>::max()) return false;
    WriteU32(bytes_.data() + chunk.dataOffset - 4, static_cast<uint32_t>(size));
    if (size & 1u) bytes_.push_back(0);
    return true;
}

}  // namespace vox

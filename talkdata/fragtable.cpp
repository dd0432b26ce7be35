#include "talkdata/fragtable.h"

namespace vox {
namespace {

FragElement Unpack(uint32_t word) {
    FragElement element;
    element.voice = static_cast<int16_t>(word & 0xFFFF);
    element.voxIndex = static_cast<int16_t>(word >> 16);
    return element;
}

uint32_t Pack(int voice, int voxIndex) {
    return (static_cast<uint32_t>(voice) & 0xFFFF) |
           ((static_cast<uint32_t>(voxIndex) & 0xFFFF) << 16);
}

}  // namespace

bool FragTable::GetFragElement(const ListRecord& frag, int position, FragElement& out) const {
    if (position < 0 || position >= kVoiceCount || position >= frag.count) return false;
    const int64_t index = ElementIndex(frag, position);
    if (index < 0) return false;
    out = Unpack(GetElementWord(static_cast<int>(index)));
    return true;
}

bool FragTable::InsertElement(int frag, int voice, int voxIndex) {
    return InsertSorted(frag, Pack(voice, voxIndex));
}

bool FragTable::SetVoxIndex(int frag, int position, int voxIndex) {
    ListRecord rec;
    if (!GetRecord(frag, rec) || position < 0 || position >= rec.count) return false;
    const int64_t index = ElementIndex(rec, position);
    if (index < 0) return false;
    const FragElement element = Unpack(GetElementWord(static_cast<int>(index)));
    return SetWord(index, Pack(element.voice, voxIndex));
}

bool FragTable::AddElement(int frag, int voice, int voxIndex) {
    if (frag > GetCount()) return false;
    if (frag < GetCount()) return InsertElement(frag, voice, voxIndex);
    return AppendRecord(static_cast<uint16_t>(frag), Pack(voice, voxIndex));
}

}  // namespace vox

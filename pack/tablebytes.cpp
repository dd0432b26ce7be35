#include "pack/tablebytes.h"

#include <algorithm>

#include "talkdata/bytes.h"

namespace vox::pack {
namespace {

struct ListBytes {
    uint16_t number;
    std::vector<uint32_t> words;
};

uint32_t Word(int low, int high) {
    return static_cast<uint16_t>(low) | (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
    out.resize(out.size() + 2);
    WriteU16(out.data() + out.size() - 2, value);
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    out.resize(out.size() + 4);
    WriteU32(out.data() + out.size() - 4, value);
}

// The description's limits (32768 records of at most 32767 words) keep every offset far below
// 4 GiB, so the sums below cannot overflow.
std::vector<uint8_t> ListFileBytes(std::vector<ListBytes> lists) {
    if (lists.empty()) lists.push_back({0, {}});
    std::vector<uint8_t> out;
    uint64_t offset = 8 * lists.size();
    for (const ListBytes& list : lists) {
        Append16(out, list.number);
        Append16(out, static_cast<uint16_t>(list.words.size()));
        Append32(out, static_cast<uint32_t>(offset));
        offset += 4 * list.words.size();
    }
    for (const ListBytes& list : lists)
        for (uint32_t word : list.words) Append32(out, word);
    return out;
}

}  // namespace

std::vector<uint8_t> FragTableBytes(const PackDescription& description) {
    std::vector<ListBytes> lists;
    for (const FragDescription& frag : description.frags) {
        // Lookups take the first element of a voice and the editors insert in voice order, so
        // the list is kept sorted whatever order the description gives.
        std::vector<FragVoiceDescription> voices = frag.voices;
        std::stable_sort(voices.begin(), voices.end(),
                         [](const auto& a, const auto& b) { return a.voice < b.voice; });
        ListBytes list{static_cast<uint16_t>(frag.number), {}};
        for (const FragVoiceDescription& v : voices)
            list.words.push_back(Word(v.voice, v.voxIndex));
        lists.push_back(std::move(list));
    }
    return ListFileBytes(std::move(lists));
}

std::vector<uint8_t> EvalTableBytes(const PackDescription& description) {
    std::vector<ListBytes> lists;
    for (const EvalDescription& eval : description.evals) {
        // Kept in the given order: the eval editor can leave a list unsorted, and the file keeps
        // what it left.
        ListBytes list{static_cast<uint16_t>(eval.number), {}};
        for (const EvalAlternativeDescription& a : eval.alternatives)
            list.words.push_back(Word(a.index, a.frag));
        lists.push_back(std::move(list));
    }
    return ListFileBytes(std::move(lists));
}

std::vector<uint8_t> CommTableBytes(const PackDescription& description) {
    std::vector<CommDescription> comms = description.comms;
    if (comms.empty()) comms.emplace_back();
    std::vector<uint8_t> out;
    uint64_t listOffset = 14 * comms.size();
    for (const CommDescription& c : comms) {
        Append16(out, static_cast<uint16_t>(c.reserved));
        Append16(out, static_cast<uint16_t>(c.warp));
        out.push_back(static_cast<uint8_t>(c.priority));
        out.push_back(static_cast<uint8_t>(c.position));
        Append16(out, static_cast<uint16_t>(c.bullseye));
        out.push_back(static_cast<uint8_t>(c.entries.size()));
        out.push_back(static_cast<uint8_t>(c.evals));
        Append32(out, static_cast<uint32_t>(listOffset));
        listOffset += 2 * c.entries.size();
    }
    for (const CommDescription& c : comms)
        for (int entry : c.entries) Append16(out, static_cast<uint16_t>(entry));
    return out;
}

}  // namespace vox::pack

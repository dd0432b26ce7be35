#include "pack/talkwriter.h"

#include "talkdata/talklayout.h"

namespace vox::pack {
namespace {

bool Put32(ByteSink& out, uint32_t value) {
    uint8_t bytes[sizeof value];
    WriteU32(bytes, value);
    return out.Write(bytes, sizeof bytes);
}

}  // namespace

std::vector<uint64_t> TalkEntryOffsets(const PackDescription& description,
                                       const std::vector<CodedEntry>& entries,
                                       const std::vector<CodedEntry>& earlier) {
    std::vector<uint64_t> offsets;
    uint64_t at = TalkSlotOffset(static_cast<uint64_t>(description.EffectiveSlotCount()));
    for (const auto* list : {&entries, &earlier}) {
        for (const CodedEntry& entry : *list) {
            offsets.push_back(at);
            at = TalkEntryEnd(at, entry.coded.size());
        }
    }
    offsets.push_back(at);  // the end
    return offsets;
}

bool WriteTalk(const PackDescription& description, const std::vector<CodedEntry>& entries,
               const std::vector<CodedEntry>& earlier, ByteSink& out, std::string& why) {
    if (entries.size() != description.entries.size()) {
        why = "internal error: entries do not match the description";
        return false;
    }
    const size_t slotCount = static_cast<size_t>(description.EffectiveSlotCount());
    std::vector<uint32_t> slots(slotCount, 0);
    const std::vector<uint64_t> offsets = TalkEntryOffsets(description, entries, earlier);
    if (offsets.back() > kMaxTalkSize) {
        why = "the talk file would pass 4 GiB";
        return false;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        for (int slot : description.entries[i].slots) {
            if (slot < 0 || static_cast<size_t>(slot) >= slotCount) {
                why = "internal error: a slot lies outside the directory";
                return false;
            }
            slots[static_cast<size_t>(slot)] = static_cast<uint32_t>(offsets[i]);
        }
    }
    bool ok = out.Write(description.header.data(), description.header.size());
    for (uint32_t slot : slots) ok = ok && Put32(out, slot);
    for (const auto* list : {&entries, &earlier}) {
        for (const CodedEntry& entry : *list) {
            ok = ok && Put32(out, entry.decodedSize) &&
                 Put32(out, static_cast<uint32_t>(entry.coded.size())) &&
                 out.Write(entry.coded.data(), entry.coded.size());
        }
    }
    if (!ok) why = "cannot write the talk file";
    return ok;
}

}  // namespace vox::pack

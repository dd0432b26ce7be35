#include "tests/support/databasebuilder.h"

#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"

namespace vox::test {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, static_cast<uint16_t>(value));
    PutU16(out, static_cast<uint16_t>(value >> 16));
}

namespace {

uint32_t Word(int16_t low, int16_t high) {
    return static_cast<uint16_t>(low) | (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}

std::vector<uint8_t> ListTableBytes(std::vector<std::vector<uint32_t>> lists) {
    if (lists.empty()) lists.emplace_back();
    std::vector<uint8_t> out;
    uint32_t offset = static_cast<uint32_t>(8 * lists.size());
    for (size_t r = 0; r < lists.size(); ++r) {
        PutU16(out, static_cast<uint16_t>(r));                // number
        PutU16(out, static_cast<uint16_t>(lists[r].size()));  // count
        PutU32(out, offset);                                  // offset of the first element
        offset += static_cast<uint32_t>(4 * lists[r].size());
    }
    for (const auto& list : lists)
        for (uint32_t word : list) PutU32(out, word);
    return out;
}

}  // namespace

int DatabaseBuilder::AddEntry(uint32_t decodedSize, std::vector<uint8_t> coded) {
    blocks_.push_back({true, decodedSize, std::move(coded)});
    slots_.push_back({0, static_cast<int>(blocks_.size() - 1)});
    return static_cast<int>(slots_.size() - 1);
}

int DatabaseBuilder::AddEmptySlot() {
    slots_.push_back({1, -1});
    return static_cast<int>(slots_.size() - 1);
}

int DatabaseBuilder::AddSharedSlot(int voxIndex) {
    slots_.push_back({2, voxIndex});
    return static_cast<int>(slots_.size() - 1);
}

void DatabaseBuilder::AddUnreferencedBytes(std::vector<uint8_t> bytes) {
    blocks_.push_back({false, 0, std::move(bytes)});
}

int DatabaseBuilder::AddFragment(std::vector<FragVoice> voices) {
    std::vector<uint32_t> words;
    for (const FragVoice& v : voices) words.push_back(Word(v.voice, v.vox));
    frags_.push_back(std::move(words));
    return static_cast<int>(frags_.size() - 1);
}

int DatabaseBuilder::AddEval(std::vector<EvalAlternative> alternatives) {
    std::vector<uint32_t> words;
    for (const EvalAlternative& a : alternatives) words.push_back(Word(a.index, a.frag));
    evals_.push_back(std::move(words));
    return static_cast<int>(evals_.size() - 1);
}

int DatabaseBuilder::AddComm(CommSpec comm) {
    comms_.push_back(std::move(comm));
    return static_cast<int>(comms_.size() - 1);
}

std::vector<uint8_t> DatabaseBuilder::TalkBytes() const {
    std::vector<uint8_t> out(header.begin(), header.end());
    // Where each block will stand: right after the directory, in the order they were added.
    std::vector<uint32_t> blockOffset;
    uint32_t at = static_cast<uint32_t>(12 + 4 * slots_.size());
    for (const Block& block : blocks_) {
        blockOffset.push_back(at);
        at += static_cast<uint32_t>(block.bytes.size() + (block.isEntry ? 8 : 0));
    }
    std::vector<uint32_t> slotValue(slots_.size(), 0);
    for (size_t s = 0; s < slots_.size(); ++s) {
        if (slots_[s].kind == 0) slotValue[s] = blockOffset[slots_[s].target];
        if (slots_[s].kind == 2) slotValue[s] = slotValue[slots_[s].target];
    }
    for (uint32_t value : slotValue) PutU32(out, value);
    for (const Block& block : blocks_) {
        if (block.isEntry) {
            PutU32(out, block.decodedSize);
            PutU32(out, static_cast<uint32_t>(block.bytes.size()));
        }
        out.insert(out.end(), block.bytes.begin(), block.bytes.end());
    }
    return out;
}

std::vector<uint8_t> DatabaseBuilder::FragBytes() const { return ListTableBytes(frags_); }
std::vector<uint8_t> DatabaseBuilder::EvalBytes() const { return ListTableBytes(evals_); }

std::vector<uint8_t> DatabaseBuilder::CommBytes() const {
    std::vector<uint8_t> out;
    uint32_t listOffset = static_cast<uint32_t>(14 * comms_.size());
    for (const CommSpec& c : comms_) {
        PutU16(out, c.reserved);
        PutU16(out, static_cast<uint16_t>(c.warp));
        out.push_back(c.priority);
        out.push_back(c.position);
        PutU16(out, static_cast<uint16_t>(c.bullseye));
        out.push_back(
            static_cast<uint8_t>(c.elementsOverride >= 0 ? c.elementsOverride : c.entries.size()));
        out.push_back(c.evals);
        PutU32(out, listOffset);
        listOffset += static_cast<uint32_t>(2 * c.entries.size());
    }
    for (const CommSpec& c : comms_)
        for (int16_t entry : c.entries) PutU16(out, static_cast<uint16_t>(entry));
    // A comm file without comms still needs a record 0 to say so; write one with no list.
    if (comms_.empty()) {
        out.assign(14, 0);
        out[10] = 14;
    }
    return out;
}

std::string DatabaseBuilder::WriteTo(const std::string& folder, const std::string& talkName) const {
    const std::string talkPath = folder + "/" + talkName;
    WriteFileBytes(talkPath, TalkBytes());
    WriteFileBytes(folder + "/fragFile.bin", FragBytes());
    WriteFileBytes(folder + "/evalFile.bin", EvalBytes());
    WriteFileBytes(folder + "/commFile.bin", CommBytes());
    return talkPath;
}

std::string WriteSpeechDatabase(const std::string& folder, int entries, uint32_t extraBytes) {
    constexpr int kRecordings = 5;
    std::vector<std::vector<uint8_t>> coded;
    std::vector<uint32_t> decoded;
    for (int r = 0; r < kRecordings; ++r) {
        const uint32_t pcmBytes = 3200u + 3200u * static_cast<uint32_t>(r);  // 0.2 s to 1 s
        coded.push_back(CodedPcm(SpeechLikePcm(pcmBytes, 140.0 + 23.0 * r)));
        decoded.push_back(pcmBytes);
    }
    DatabaseBuilder db;
    for (int e = 0; e < entries; ++e) db.AddEntry(decoded[e % kRecordings], coded[e % kRecordings]);
    // Old recordings that replacements left behind: whole coded frames nothing points to.
    std::vector<uint8_t> old;
    while (old.size() < extraBytes) {
        const std::vector<uint8_t>& frames = coded[old.size() % kRecordings];
        old.insert(old.end(), frames.begin(), frames.end());
    }
    old.resize(extraBytes);
    if (!old.empty()) db.AddUnreferencedBytes(std::move(old));

    int fragments = 0;
    for (int e = 0; e < entries; ++fragments) {
        std::vector<FragVoice> voices;
        for (int16_t v = 0; v < 1 + fragments % 3 && e < entries; ++v, ++e) {
            voices.push_back({v, static_cast<int16_t>(e)});
        }
        db.AddFragment(std::move(voices));
    }
    for (int16_t ev = 0; ev < 4; ++ev) {
        db.AddEval({{0, static_cast<int16_t>(ev % fragments)},
                    {1, static_cast<int16_t>((ev + 1) % fragments)}});
    }
    for (int16_t c = 0; c < 6; ++c) {
        db.AddComm(CommSpec{.entries = {static_cast<int16_t>(c % fragments), -1,
                                        static_cast<int16_t>((c + 2) % fragments)}});
    }
    return db.WriteTo(folder);
}

}  // namespace vox::test

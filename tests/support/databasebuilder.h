#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vox::test {

struct FragVoice {
    int16_t voice;
    int16_t vox;
};

struct EvalAlternative {
    int16_t index;
    int16_t frag;
};

struct CommSpec {
    std::vector<int16_t> entries;
    int16_t warp = 0;
    uint8_t priority = 0;
    uint8_t position = 0;
    int16_t bullseye = 0;
    uint8_t evals = 0;
    uint16_t reserved = 0;
    int elementsOverride = -1;  // >= 0: the Elements byte claims this instead of entries.size()
};

// Writes the four files of a database byte by byte, independently of the library's own code,
// so tests can compare what the library reads and writes against a second implementation.
// A table without records is written as one empty record: a table file cannot hold none.
class DatabaseBuilder {
  public:
    std::array<uint8_t, 12> header{'V', 'O', 'X', 'T', 'E', 'S', 'T', 0, 1, 2, 3, 4};

    // A talk entry in a slot of its own; returns its voxIndex.
    int AddEntry(uint32_t decodedSize, std::vector<uint8_t> coded);
    // A slot that holds 0 (no entry). Slot 0 must be a real entry.
    int AddEmptySlot();
    // A slot that points at the entry of an earlier slot.
    int AddSharedSlot(int voxIndex);
    // Bytes that no slot points to, placed after the entries so far.
    void AddUnreferencedBytes(std::vector<uint8_t> bytes);

    int AddFragment(std::vector<FragVoice> voices);
    int AddEval(std::vector<EvalAlternative> alternatives);
    int AddComm(CommSpec comm);

    std::vector<uint8_t> TalkBytes() const;

    // Writes talkName, fragFile.bin, evalFile.bin and commFile.bin into folder; returns the
    // talk file's path.
    std::string WriteTo(const std::string& folder,
                        const std::string& talkName = "speech.vox") const;

  private:
    std::vector<uint8_t> FragBytes() const;
    std::vector<uint8_t> EvalBytes() const;
    std::vector<uint8_t> CommBytes() const;

    struct Slot {
        int kind;  // 0 own entry, 1 empty, 2 shared
        int target;
    };
    struct Block {
        bool isEntry;
        uint32_t decodedSize;
        std::vector<uint8_t> bytes;
    };
    std::vector<Slot> slots_;
    std::vector<Block> blocks_;
    std::vector<std::vector<uint32_t>> frags_;
    std::vector<std::vector<uint32_t>> evals_;
    std::vector<CommSpec> comms_;
};

// A database whose talk entries really decode: entries recordings of 0.2 to 1 s (five different
// ones, each coded once), fragment f with voices 0 to f % 3 on consecutive entries of their own,
// four evals and six comms. Written into folder as speech.vox and the three tables; returns the
// talk file's path. extraBytes of old, unreferenced recordings after the entries make the talk
// file as large as a test needs.
std::string WriteSpeechDatabase(const std::string& folder, int entries, uint32_t extraBytes = 0);

// Little-endian appenders for hand-made files.
void PutU16(std::vector<uint8_t>& out, uint16_t value);
void PutU32(std::vector<uint8_t>& out, uint32_t value);

}  // namespace vox::test

// voxbench_gendb SIZE FOLDER: writes a generated database for the benchmarks. SIZE is small
// (about 1 MiB of talk file), medium (100 MiB) or large (1 GiB). The medium and large ones
// have the largest tables a database can have in practice: 32767 talk entries, 20000
// fragments, 5000 evals and 10000 comms of up to 255 entries; what the talk file holds
// beyond its entries are old recordings that replacements left behind, which nothing
// references. Comm 0 always has 15 entries: the form's benchmark shows it. SIZE pack is a
// database of 200 recordings for the pack benchmark.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/benchrecordings.h"
#include "talkdata/bytes.h"

namespace {

using vox::bench::Recording;
using Bytes = std::vector<uint8_t>;

struct Shape {
    uint64_t talkBytes;
    int entries;
    int fragments;
    int evals;
    int comms;
};

constexpr int kRecordings = 12;
constexpr int kVoices = 14;

void Put16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

bool WriteAll(FILE* file, const Bytes& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file != nullptr && WriteAll(file, bytes);
    return file != nullptr && std::fclose(file) == 0 && ok;
}

Bytes Block(const Recording& recording) {
    Bytes block;
    Put32(block, static_cast<uint32_t>(recording.pcm.size()));
    Put32(block, static_cast<uint32_t>(recording.coded.size()));
    block.insert(block.end(), recording.coded.begin(), recording.coded.end());
    return block;
}

// Header, directory, the entries (entry e holds recording e % kRecordings), then old blocks
// until the file has its size.
bool WriteTalk(const std::string& path, const Shape& shape, const std::vector<Recording>& recs) {
    std::vector<Bytes> blocks;
    for (const Recording& r : recs) blocks.push_back(Block(r));
    Bytes head = {'V', 'O', 'X', 'B', 'E', 'N', 'C', 'H', 'G', 'E', 'N', 0};
    uint32_t offset = 12 + 4 * static_cast<uint32_t>(shape.entries);
    for (int e = 0; e < shape.entries; ++e) {
        Put32(head, offset);
        offset += static_cast<uint32_t>(blocks[e % kRecordings].size());
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = WriteAll(file, head);
    Bytes chunk;
    for (int e = 0; ok && e < shape.entries; ++e) {
        const Bytes& block = blocks[e % kRecordings];
        chunk.insert(chunk.end(), block.begin(), block.end());
        if (chunk.size() > (1u << 20)) {
            ok = WriteAll(file, chunk);
            chunk.clear();
        }
    }
    uint64_t size = offset;
    for (int r = 0; ok && size < shape.talkBytes; ++r) {
        const Bytes& block = blocks[r % kRecordings];
        const uint64_t take = std::min<uint64_t>(block.size(), shape.talkBytes - size);
        chunk.insert(chunk.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(take));
        size += take;
        if (chunk.size() > (8u << 20)) {
            ok = WriteAll(file, chunk);
            chunk.clear();
        }
    }
    ok = ok && WriteAll(file, chunk);
    return std::fclose(file) == 0 && ok;
}

Bytes ListTable(const std::vector<std::vector<uint32_t>>& lists) {
    Bytes out;
    uint32_t offset = static_cast<uint32_t>(8 * lists.size());
    for (size_t r = 0; r < lists.size(); ++r) {
        Put16(out, static_cast<uint16_t>(r));
        Put16(out, static_cast<uint16_t>(lists[r].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(4 * lists[r].size());
    }
    for (const auto& list : lists) {
        for (uint32_t word : list) Put32(out, word);
    }
    return out;
}

uint32_t Word(int low, int high) {
    return static_cast<uint16_t>(low) | (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}

// Every entry belongs to exactly one fragment voice: each fragment gets one voice, the rest
// are spread at random (at most 14 voices a fragment), voices sorted without duplicates.
Bytes Fragments(const Shape& shape, std::mt19937& random) {
    std::vector<int> voices(static_cast<size_t>(shape.fragments), 1);
    std::uniform_int_distribution<int> pick(0, shape.fragments - 1);
    for (int extra = shape.entries - shape.fragments; extra > 0;) {
        int& count = voices[static_cast<size_t>(pick(random))];
        if (count < kVoices) {
            ++count;
            --extra;
        }
    }
    std::vector<std::vector<uint32_t>> lists;
    int voxIndex = 0;
    std::vector<int> all(kVoices);
    for (int v = 0; v < kVoices; ++v) all[static_cast<size_t>(v)] = v;
    for (int count : voices) {
        std::shuffle(all.begin(), all.end(), random);
        std::vector<int> chosen(all.begin(), all.begin() + count);
        std::sort(chosen.begin(), chosen.end());
        std::vector<uint32_t> list;
        for (int voice : chosen) list.push_back(Word(voice, voxIndex++));
        lists.push_back(std::move(list));
    }
    return ListTable(lists);
}

Bytes Evals(const Shape& shape, std::mt19937& random) {
    std::uniform_int_distribution<int> alternatives(1, 8);
    std::uniform_int_distribution<int> frag(0, shape.fragments - 1);
    std::vector<std::vector<uint32_t>> lists;
    for (int e = 0; e < shape.evals; ++e) {
        std::vector<uint32_t> list;
        const int count = alternatives(random);
        for (int a = 0; a < count; ++a) list.push_back(Word(a * 3, frag(random)));
        lists.push_back(std::move(list));
    }
    return ListTable(lists);
}

// Most comms have 1 to 15 entries, one in a hundred 100 to 255; a third of the entries name
// an eval.
Bytes Comms(const Shape& shape, std::mt19937& random) {
    std::uniform_int_distribution<int> small(1, 15);
    std::uniform_int_distribution<int> large(100, 255);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> frag(0, shape.fragments - 1);
    std::uniform_int_distribution<int> eval(1, shape.evals - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::vector<int16_t>> lists;
    for (int c = 0; c < shape.comms; ++c) {
        const int count = c == 0 ? 15 : percent(random) == 0 ? large(random) : small(random);
        std::vector<int16_t> list;
        for (int i = 0; i < count; ++i) {
            const bool isEval = percent(random) < 33;
            list.push_back(static_cast<int16_t>(isEval ? -eval(random) : frag(random)));
        }
        lists.push_back(std::move(list));
    }
    Bytes out;
    uint32_t offset = static_cast<uint32_t>(14 * lists.size());
    for (const auto& list : lists) {
        const auto evals = std::count_if(list.begin(), list.end(), [](int16_t e) { return e < 0; });
        Put16(out, 0);
        Put16(out, static_cast<uint16_t>(byte(random) - 128));  // warp
        out.push_back(static_cast<uint8_t>(byte(random)));      // priority
        out.push_back(static_cast<uint8_t>(byte(random)));      // position
        Put16(out, static_cast<uint16_t>(byte(random) - 128));  // bullseye
        out.push_back(static_cast<uint8_t>(list.size()));
        out.push_back(static_cast<uint8_t>(evals));
        Put32(out, offset);
        offset += static_cast<uint32_t>(2 * list.size());
    }
    for (const auto& list : lists) {
        for (int16_t entry : list) Put16(out, static_cast<uint16_t>(entry));
    }
    return out;
}

bool ShapeOf(const std::string& size, Shape& shape) {
    if (size == "small")
        shape = {1u << 20, 1200, 800, 200, 400};
    else if (size == "medium")
        shape = {100u << 20, 32767, 20000, 5000, 10000};
    else if (size == "large")
        shape = {1u << 30, 32767, 20000, 5000, 10000};
    else if (size == "pack")
        shape = {0, 200, 150, 20, 20};
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Shape shape{};
    if (argc != 3 || !ShapeOf(argv[1], shape)) {
        std::fprintf(stderr, "usage: voxbench_gendb small|medium|large|pack FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    std::filesystem::create_directories(folder);
    std::mt19937 random(20240601);
    const std::vector<Recording> recordings = vox::bench::MakeRecordings(kRecordings);
    const bool ok = WriteTalk(folder + "/speech.vox", shape, recordings) &&
                    WriteFile(folder + "/fragFile.bin", Fragments(shape, random)) &&
                    WriteFile(folder + "/evalFile.bin", Evals(shape, random)) &&
                    WriteFile(folder + "/commFile.bin", Comms(shape, random));
    if (!ok) {
        std::fprintf(stderr, "voxbench_gendb: cannot write the database in %s\n", folder.c_str());
        return 1;
    }
    return 0;
}

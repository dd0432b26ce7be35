#include "tests/faults/faultdatabase.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "audio/speechcodec.h"
#include "audio/wavefile.h"
#include "talkdata/bytes.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

std::vector<uint8_t> Coded(SpeechCodec& codec, const std::vector<uint8_t>& pcm) {
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    if (!codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen)) return {};
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    struct stat info {};
    if (fstat(fileno(file), &info) == 0) bytes.resize(static_cast<size_t>(info.st_size));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

FolderSnapshot SnapshotFolder(const std::string& folder) {
    FolderSnapshot snapshot;
    for (const std::string& name : ListFolder(folder)) {
        struct stat info {};
        const std::string path = folder + "/" + name;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            snapshot[name] = ReadWholeFile(path);
        }
    }
    return snapshot;
}

std::vector<std::string> NewNames(const FolderSnapshot& before, const FolderSnapshot& after) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : after) {
        if (before.count(name) == 0) names.push_back(name);
    }
    return names;
}

std::vector<uint8_t> SpeechPcm(size_t bytes, int seed) {
    std::vector<uint8_t> pcm(bytes & ~size_t{1});
    const double pi = std::acos(-1.0);
    const double baseHz = 140.0 + 23.0 * (seed % 7);
    double phase = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const double t = static_cast<double>(i / 2) / 8000.0;
        phase += 2 * pi * baseHz * (1.0 + 0.4 * std::sin(2 * pi * 3.0 * t)) / 8000.0;
        const double envelope = 0.6 + 0.4 * std::sin(2 * pi * (4.0 + seed % 3) * t);
        const auto sample = static_cast<int16_t>(8000.0 * envelope * std::sin(phase));
        WriteU16(pcm.data() + i, static_cast<uint16_t>(sample));
    }
    return pcm;
}

std::string WriteFaultDatabase(const std::string& folder, int entries, uint32_t extraBytes) {
    SpeechCodec codec;
    codec.Init();
    constexpr int kRecordings = 5;
    std::vector<std::vector<uint8_t>> coded;
    std::vector<uint32_t> decoded;
    for (int r = 0; r < kRecordings; ++r) {
        const uint32_t pcmBytes = 3200u + 3200u * static_cast<uint32_t>(r);  // 0.2 s to 1 s
        coded.push_back(Coded(codec, SpeechPcm(pcmBytes, r)));
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

    // Fragment f holds voices 0, 1, 2 (as many as are left) on consecutive entries.
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

std::string WriteSpeechWave(const std::string& path, const std::vector<uint8_t>& pcm) {
    WriteFileBytes(path, MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    return path;
}

}  // namespace vox::test

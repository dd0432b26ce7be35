// Decoding every entry (a fixed sample of the large databases) and exporting fragments as wave
// files, next to libopus decoding the same frames directly and to decoding plus one write()
// per file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <opus/opus.h>
#include <unistd.h>

#include <filesystem>

#include "audio/wavefile.h"
#include "bench/benchcontext.h"
#include "workbench/fragmentexport.h"

namespace vox::bench {
namespace {

// Enough entries for a steady figure; the small database has fewer and is decoded whole.
constexpr size_t kMaxDecoded = 2000;
constexpr size_t kMaxExported = 1000;
constexpr int kFrameBytes = 20;
constexpr int kFrameSamples = 160;

std::vector<VoxEntry> Entries(CVoxbenchDoc& doc, size_t max, int* lastFragment = nullptr) {
    std::vector<VoxEntry> entries;
    for (int voxIndex : EntrySample(doc, max, lastFragment)) {
        VoxEntry entry;
        if (doc.GetVoxEntry(voxIndex, entry)) entries.push_back(entry);
    }
    return entries;
}

double AudioSeconds(const std::vector<VoxEntry>& entries) {
    double bytes = 0;
    for (const VoxEntry& e : entries) bytes += e.codedSize / kFrameBytes * kFrameSamples * 2;
    return bytes / 16000.0;
}

void ReportRealTime(benchmark::State& state, const std::vector<VoxEntry>& entries) {
    state.counters["entries"] = static_cast<double>(entries.size());
    state.counters["audio_s"] = AudioSeconds(entries);
}

void BM_DecodeSound(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    const std::vector<VoxEntry> entries = Entries(doc, kMaxDecoded);
    for (auto _ : state) {
        for (const VoxEntry& entry : entries) {
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            if (!doc.DecodeEntry(entry, pcm, pcmLen))
                state.SkipWithError("an entry did not decode");
            benchmark::DoNotOptimize(pcm.get());
        }
    }
    ReportRealTime(state, entries);
}

void BM_OpusDecode(benchmark::State& state) {
    const std::vector<VoxEntry> entries = Entries(SharedDoc(), kMaxDecoded);
    int error = 0;
    OpusDecoder* decoder = opus_decoder_create(8000, 1, &error);
    std::vector<opus_int16> pcm(kFrameSamples);
    for (auto _ : state) {
        for (const VoxEntry& entry : entries) {
            opus_decoder_ctl(decoder, OPUS_RESET_STATE);
            for (uint32_t at = 0; at + kFrameBytes <= entry.codedSize; at += kFrameBytes) {
                if (opus_decode(decoder, entry.data + at, kFrameBytes, pcm.data(), kFrameSamples,
                                0) != kFrameSamples) {
                    state.SkipWithError("libopus refused a frame");
                }
            }
            benchmark::DoNotOptimize(pcm.data());
        }
    }
    opus_decoder_destroy(decoder);
    ReportRealTime(state, entries);
}

std::string ExportFolder(const char* name) {
    const std::string folder = ScratchFolder() + "/" + name;
    std::filesystem::create_directories(folder);
    return folder;
}

void BM_ExportFragmentRange(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    int last = 0;
    const std::vector<VoxEntry> entries = Entries(doc, kMaxExported, &last);
    const std::string list = ExportFolder("export") + "/Filenames.csv";
    for (auto _ : state) {
        const ExportResult result = ExportFragmentRange(doc, 0, last, list);
        if (!result.listWritten || result.saved != static_cast<int>(entries.size())) {
            state.SkipWithError("the export failed");
        }
    }
    state.counters["files"] = static_cast<double>(entries.size());
}

// The same decodes, and the same wave bytes written with one write() per file.
void BM_DecodeAndWrite(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    int last = 0;
    const std::vector<int> voxIndices = EntrySample(doc, kMaxExported, &last);
    const std::string folder = ExportFolder("export-limit");
    for (auto _ : state) {
        int file = 0;
        for (int voxIndex : voxIndices) {
            VoxEntry entry;
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            if (!doc.GetVoxEntry(voxIndex, entry) || !doc.DecodeEntry(entry, pcm, pcmLen)) continue;
            const std::vector<uint8_t> wave = MakeWaveBytes(pcm.get(), pcmLen);
            const std::string path = folder + "/" + std::to_string(file++) + ".wav";
            const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            benchmark::DoNotOptimize(write(fd, wave.data(), wave.size()));
            close(fd);
        }
    }
    state.counters["files"] = static_cast<double>(voxIndices.size());
}

BENCHMARK(BM_DecodeSound)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpusDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFragmentRange)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_DecodeAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace
}  // namespace vox::bench

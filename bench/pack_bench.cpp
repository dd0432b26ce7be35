// Packing a database whose every recording must be coded, next to coding those recordings
// alone. Run on the database generated as "pack" (bench/run.sh); its unpacked folder gets new
// samples in every wave file first, so that pack cannot keep any coded bytes.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "audio/speechcodec.h"
#include "audio/wavefile.h"
#include "bench/benchcontext.h"
#include "bench/benchrecordings.h"
#include "pack/packer.h"
#include "pack/unpacker.h"

namespace vox::bench {
namespace {

namespace fs = std::filesystem;

// The unpacked folder and the samples of its wave files, made once per run.
struct PackInput {
    std::string folder = ScratchFolder() + "/pack-src";
    std::vector<std::vector<uint8_t>> pcms;
    bool ok = false;

    PackInput() {
        fs::remove_all(folder);
        CVoxbenchDoc& doc = SharedDoc();
        pack::UnpackSource source;
        source.talkName = "speech.vox";
        source.talk = doc.GetVoxFile().Bytes();
        source.frags = &doc.GetFragTable();
        source.evals = &doc.GetEvalTable();
        source.comm = doc.GetCommTable().Bytes();
        pack::Unpacker unpacker([](const std::string&) {});
        if (!unpacker.Unpack(source, folder)) return;
        int seed = 100;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.path().extension() != ".wav") continue;
            std::vector<uint8_t> pcm;
            if (!ReadWave(entry.path().string(), pcm)) return;
            pcm = SpeechLikePcm(static_cast<uint32_t>(pcm.size()), seed++);
            if (!WriteWave(entry.path().string(), pcm.data(), static_cast<uint32_t>(pcm.size()))) {
                return;
            }
            pcms.push_back(std::move(pcm));
        }
        ok = !pcms.empty();
    }
};

const PackInput& Input() {
    static const PackInput input;
    return input;
}

void BM_Pack(benchmark::State& state) {
    if (!Input().ok) {
        state.SkipWithError("cannot prepare the unpacked folder");
        return;
    }
    const std::string out = ScratchFolder() + "/pack-out";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
        pack::Packer packer([](const std::string&) {});
        if (!packer.Pack(Input().folder, out)) state.SkipWithError(packer.GetError().c_str());
    }
    state.counters["recordings"] = static_cast<double>(Input().pcms.size());
}

void BM_CodeRecordings(benchmark::State& state) {
    SpeechCodec codec;
    codec.Init();
    for (auto _ : state) {
        for (const std::vector<uint8_t>& pcm : Input().pcms) {
            std::unique_ptr<uint8_t[]> coded;
            uint32_t codedLen = 0;
            codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen);
            benchmark::DoNotOptimize(coded.get());
        }
    }
    state.counters["recordings"] = static_cast<double>(Input().pcms.size());
}

BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CodeRecordings)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace vox::bench

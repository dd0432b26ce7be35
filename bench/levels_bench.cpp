// The levels of recordings: each entry decoded and measured (loudness, peak, clipping,
// silence), next to decoding the same entries alone; and a whole database as voxtool levels
// measures it, which must stay well under 2 s for a database the size of the demo.
#include <benchmark/benchmark.h>

#include "bench/benchcontext.h"
#include "workbench/voicelevels.h"

namespace vox::bench {
namespace {

// The same sample as the decode figure, so the two compare.
constexpr size_t kMaxMeasured = 2000;

void BM_EntryLevels(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    const std::vector<int> voxIndices = EntrySample(doc, kMaxMeasured, nullptr);
    for (auto _ : state) {
        for (int voxIndex : voxIndices) {
            TakeLevels levels;
            if (!MeasureEntryLevels(doc, voxIndex, levels))
                state.SkipWithError("an entry did not decode");
            benchmark::DoNotOptimize(levels.loudness);
        }
    }
    state.counters["entries"] = static_cast<double>(voxIndices.size());
}

void BM_DatabaseLevels(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    for (auto _ : state) {
        const LevelsReport report = MeasureDatabaseLevels(doc);
        benchmark::DoNotOptimize(report.flagged);
        state.counters["entries"] = report.entriesDecoded;
    }
}

BENCHMARK(BM_EntryLevels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatabaseLevels)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vox::bench

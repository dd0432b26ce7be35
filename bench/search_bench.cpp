// The three cross-reference scans over the tables, next to bare loops over the tables' bytes
// that find the same matches.
#include <benchmark/benchmark.h>

#include <random>

#include "bench/benchcontext.h"
#include "lookup/crossrefsearch.h"

namespace vox::bench {
namespace {

constexpr int kQueries = 64;

std::vector<int> Queries(int below) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pick(1, below - 1);
    std::vector<int> queries;
    for (int i = 0; i < kQueries; ++i) queries.push_back(pick(random));
    return queries;
}

int16_t I16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// Raw views of the two tables' files, assuming (as the generator guarantees) well-formed files.
struct RawTables {
    std::vector<uint8_t> evals = ReadWholeFile(FolderOfDatabase() + "evalFile.bin");
    std::vector<uint8_t> comms = ReadWholeFile(FolderOfDatabase() + "commFile.bin");
    int evalCount = static_cast<int>(U32(evals.data() + 4) / 8);
    int commCount = static_cast<int>(U32(comms.data() + 10) / 14);

    bool EvalSpeaks(int eval, int n) const {
        if (eval < 0 || eval >= evalCount) return false;
        const uint8_t* record = evals.data() + 8 * eval;
        const int count = I16(record + 2);
        const uint8_t* words = evals.data() + U32(record + 4);
        for (int i = 0; i < count; ++i) {
            if (I16(words + 4 * i + 2) == n) return true;
        }
        return false;
    }
    template <typename Match>
    std::vector<int> ScanComms(Match match) const {
        std::vector<int> found;
        for (int c = 0; c < commCount; ++c) {
            const uint8_t* record = comms.data() + 14 * c;
            const uint8_t* entries = comms.data() + U32(record + 10);
            for (int i = 0; i < record[8]; ++i) {
                if (match(I16(entries + 2 * i))) {
                    found.push_back(c);
                    break;
                }
            }
        }
        return found;
    }
};

void BM_FindFragInEval(benchmark::State& state) {
    const std::vector<int> queries = Queries(SharedDoc().GetFragCount());
    for (auto _ : state) {
        for (int n : queries)
            benchmark::DoNotOptimize(FindFragInEval(SharedDoc().GetEvalTable(), n));
    }
}

void BM_RawFragInEval(benchmark::State& state) {
    const RawTables raw;
    const std::vector<int> queries = Queries(SharedDoc().GetFragCount());
    for (auto _ : state) {
        for (int n : queries) {
            std::vector<int> found;
            for (int e = 0; e < raw.evalCount; ++e) {
                if (raw.EvalSpeaks(e, n)) found.push_back(e);
            }
            benchmark::DoNotOptimize(found);
        }
    }
}

void BM_FindEvalInComm(benchmark::State& state) {
    const std::vector<int> queries = Queries(SharedDoc().GetEvalCount());
    for (auto _ : state) {
        for (int n : queries)
            benchmark::DoNotOptimize(FindEvalInComm(SharedDoc().GetCommTable(), n));
    }
}

void BM_RawEvalInComm(benchmark::State& state) {
    const RawTables raw;
    const std::vector<int> queries = Queries(SharedDoc().GetEvalCount());
    for (auto _ : state) {
        for (int n : queries) {
            benchmark::DoNotOptimize(raw.ScanComms([n](int16_t e) { return -e == n; }));
        }
    }
}

void BM_FindFragInComm(benchmark::State& state) {
    const std::vector<int> queries = Queries(SharedDoc().GetFragCount());
    for (auto _ : state) {
        for (int n : queries) {
            benchmark::DoNotOptimize(
                FindFragInComm(SharedDoc().GetCommTable(), SharedDoc().GetEvalTable(), n));
        }
    }
}

void BM_RawFragInComm(benchmark::State& state) {
    const RawTables raw;
    const std::vector<int> queries = Queries(SharedDoc().GetFragCount());
    for (auto _ : state) {
        for (int n : queries) {
            benchmark::DoNotOptimize(
                raw.ScanComms([&](int16_t e) { return e >= 0 ? e == n : raw.EvalSpeaks(-e, n); }));
        }
    }
}

BENCHMARK(BM_FindFragInEval)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawFragInEval)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindEvalInComm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawEvalInComm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindFragInComm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawFragInComm)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vox::bench

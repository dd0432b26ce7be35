// Opening a database and looking up entries, next to what the same bytes cost without the
// workbench: reading the three tables (cat to /dev/null) and a bare loop over the mapping.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "bench/benchcontext.h"

namespace vox::bench {
namespace {

const char* const kTables[] = {CVoxbenchDoc::kFragFileName, CVoxbenchDoc::kEvalFileName,
                               CVoxbenchDoc::kCommFileName};

void BM_Open(benchmark::State& state) {
    OpenedDatabase opened;
    CVoxbenchDoc& doc = opened.Doc();
    doc.OnCloseDocument();
    const int64_t before = ResidentBytes();
    doc.OnOpenDocument(DatabasePath());
    const int64_t growth = ResidentBytes() - before;
    for (auto _ : state) {
        // The figure is the open; closing (unmapping, which flushes the TLB of every core) is
        // what the next iteration needs, not part of it.
        state.PauseTiming();
        doc.OnCloseDocument();
        state.ResumeTiming();
        if (!doc.OnOpenDocument(DatabasePath())) {
            state.SkipWithError(doc.GetOpenError().c_str());
            break;
        }
    }
    state.counters["rss_growth"] = static_cast<double>(growth);
}

// cat fragFile.bin evalFile.bin commFile.bin > /dev/null
void BM_CatTables(benchmark::State& state) {
    const std::string folder = FolderOfDatabase();
    // What holding the three files in memory costs.
    const int64_t before = ResidentBytes();
    std::vector<std::vector<uint8_t>> held;
    for (const char* table : kTables) held.push_back(ReadWholeFile(folder + table));
    const int64_t growth = ResidentBytes() - before;
    std::vector<char> buffer(128 * 1024);
    const int devNull = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        for (const char* table : kTables) {
            const int fd = open((folder + table).c_str(), O_RDONLY);
            ssize_t got = 0;
            while ((got = read(fd, buffer.data(), buffer.size())) > 0) {
                benchmark::DoNotOptimize(write(devNull, buffer.data(), static_cast<size_t>(got)));
            }
            close(fd);
        }
    }
    close(devNull);
    state.counters["rss_growth"] = static_cast<double>(growth);
}

constexpr size_t kPairs = 10000;

void BM_Lookup(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    const std::vector<FragVoice> pairs = RandomPairs(doc, kPairs);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const FragVoice& pair : pairs) {
            ListRecord record;
            VoxEntry entry;
            if (doc.GetFragRecord(pair.fragment, record) &&
                doc.GetVoxEntry(doc.FindVoxIndex(record, pair.voice), entry)) {
                sum += entry.codedSize + entry.decodedSize;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pairs.size()));
}

uint32_t Word(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// The same words read without the workbench: the fragment's record and elements from the
// table's bytes, the slot and the entry's sizes from a mapping of the talk file.
void BM_RawLookup(benchmark::State& state) {
    const std::vector<FragVoice> pairs = RandomPairs(SharedDoc(), kPairs);
    const std::vector<uint8_t> frags = ReadWholeFile(FolderOfDatabase() + "fragFile.bin");
    const int fd = open(DatabasePath().c_str(), O_RDONLY);
    const off_t size = lseek(fd, 0, SEEK_END);
    const auto* talk = static_cast<const uint8_t*>(
        mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0));
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const FragVoice& pair : pairs) {
            const uint8_t* record = frags.data() + 8 * pair.fragment;
            const int count = record[2] | record[3] << 8;
            const uint8_t* words = frags.data() + Word(record + 4);
            for (int i = 0; i < count; ++i) {
                if ((words[4 * i] | words[4 * i + 1] << 8) != pair.voice) continue;
                const uint32_t voxIndex = words[4 * i + 2] | words[4 * i + 3] << 8;
                const uint8_t* entry = talk + Word(talk + 12 + 4 * voxIndex);
                sum += Word(entry) + Word(entry + 4);
                break;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pairs.size()));
    munmap(const_cast<uint8_t*>(talk), static_cast<size_t>(size));
    close(fd);
}

BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CatTables)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Lookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawLookup)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vox::bench

// What adding and replacing a recording cost on a large talk file, next to what the same disk
// needs for a safe copy of that file (copy, flush, rename) and for one plain write.
//
//   bench_import [--benchmark_...]   VOXBENCH_BENCH_DIR picks the folder (default /tmp); the
//                                    talk file is VOXBENCH_BENCH_MIB MiB (default 500).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/bytes.h"
#include "talkdata/memoryprofile.h"
#include "workbench/document.h"

namespace {

constexpr uint32_t kEntryBytes = 512 * 1024;
constexpr uint32_t kCodedLen = 5060;  // the longest recording the codec writes

void Put(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// A database whose talk file holds `mib` MiB in entries of kEntryBytes, and one fragment with
// voices 0 and 1 (voxIndex 0 and 1).
class BenchDatabase {
  public:
    explicit BenchDatabase(uint32_t mib) {
        const char* base = std::getenv("VOXBENCH_BENCH_DIR");
        folder_ = std::string(base != nullptr ? base : "/tmp") + "/voxbench-import-bench";
        std::filesystem::create_directories(folder_);
        talk_ = folder_ + "/speech.vox";
        const uint32_t entries = mib * (1024 * 1024 / kEntryBytes);
        std::vector<uint8_t> head = {'B', 'E', 'N', 'C', 'H', 0, 0, 0, 0, 0, 0, 0};
        uint32_t offset = 12 + 4 * entries;
        for (uint32_t i = 0; i < entries; ++i, offset += 8 + kEntryBytes) Put(head, offset);
        FILE* file = std::fopen(talk_.c_str(), "wb");
        std::vector<uint8_t> entry(8 + kEntryBytes);
        for (size_t i = 8; i < entry.size(); ++i) entry[i] = static_cast<uint8_t>(i * 131);
        vox::WriteU32(entry.data(), kEntryBytes * 16);
        vox::WriteU32(entry.data() + 4, kEntryBytes);
        bool ok = file != nullptr && std::fwrite(head.data(), 1, head.size(), file) == head.size();
        for (uint32_t i = 0; ok && i < entries; ++i) {
            ok = std::fwrite(entry.data(), 1, entry.size(), file) == entry.size();
        }
        if (file == nullptr || std::fclose(file) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", talk_.c_str());
            std::exit(1);
        }
        std::vector<uint8_t> frags = {0, 0, 2, 0};  // number 0, two voices
        Put(frags, 8);
        Put(frags, 0);  // voice 0, voxIndex 0
        Put(frags, 1 | (1u << 16));
        WriteBytes(folder_ + "/fragFile.bin", frags);
        std::vector<uint8_t> evals = {0, 0, 0, 0, 8, 0, 0, 0};
        WriteBytes(folder_ + "/evalFile.bin", evals);
        std::vector<uint8_t> comms(14, 0);
        comms[10] = 14;
        WriteBytes(folder_ + "/commFile.bin", comms);
    }
    ~BenchDatabase() { std::filesystem::remove_all(folder_); }

    const std::string& Folder() const { return folder_; }
    const std::string& Talk() const { return talk_; }

  private:
    std::string folder_;
    std::string talk_;
};

uint32_t BenchMib() {
    const char* mib = std::getenv("VOXBENCH_BENCH_MIB");
    return mib != nullptr ? static_cast<uint32_t>(std::strtoul(mib, nullptr, 10)) : 500;
}

BenchDatabase& Database() {
    static BenchDatabase database(BenchMib());
    return database;
}

std::unique_ptr<vox::CVoxbenchDoc> OpenDoc(vox::Profile& profile) {
    auto doc = std::make_unique<vox::CVoxbenchDoc>(
        profile, vox::MakeNullSoundFactory(std::make_shared<vox::NullSoundControl>()));
    if (!doc->OnOpenDocument(Database().Talk())) {
        std::fprintf(stderr, "%s\n", doc->GetOpenError().c_str());
        std::exit(1);
    }
    return doc;
}

std::vector<uint8_t> CodedBlock() {
    std::vector<uint8_t> coded(kCodedLen);
    for (size_t i = 0; i < coded.size(); ++i) coded[i] = static_cast<uint8_t>(i * 7);
    return coded;
}

void BM_AddFragmentRewrite(benchmark::State& state) {
    vox::MemoryProfile profile;
    auto doc = OpenDoc(profile);
    const std::vector<uint8_t> coded = CodedBlock();
    for (auto _ : state) {
        auto buffer = std::make_unique<uint8_t[]>(coded.size());
        std::copy(coded.begin(), coded.end(), buffer.get());
        if (!doc->AddFragment(doc->GetFragCount(), 0, std::move(buffer), kCodedLen, 80960)) {
            state.SkipWithError("AddFragment failed");
            break;
        }
    }
    state.counters["MiB"] = static_cast<double>(doc->GetVoxFile().GetSize()) / (1 << 20);
}

// cp to a temporary name, flushed to disk, renamed: what any safe replacement of the file costs.
void BM_SafeCopy(benchmark::State& state) {
    const std::string temp = Database().Folder() + "/copy.tmp";
    const std::string target = Database().Folder() + "/copy.vox";
    const std::string command = "cp '" + Database().Talk() + "' '" + temp + "'";
    for (auto _ : state) {
        const int fd = std::system(command.c_str()) == 0 ? open(temp.c_str(), O_WRONLY) : -1;
        const bool ok = fd >= 0 && fsync(fd) == 0 && close(fd) == 0 &&
                        std::rename(temp.c_str(), target.c_str()) == 0;
        if (!ok) {
            state.SkipWithError("safe copy failed");
            break;
        }
    }
    std::remove(target.c_str());
}

void BM_ReplaceFragmentAppend(benchmark::State& state) {
    vox::MemoryProfile profile;
    auto doc = OpenDoc(profile);
    const std::vector<uint8_t> coded = CodedBlock();
    for (auto _ : state) {
        if (!doc->ReplaceFragment(0, 1, coded.data(), kCodedLen, 80960)) {
            state.SkipWithError("ReplaceFragment failed");
            break;
        }
    }
}

// One write of the same block (sizes and coded bytes) at the end of a file of the same size.
void BM_OneWrite(benchmark::State& state) {
    std::vector<uint8_t> block(8);
    vox::WriteU32(block.data(), 80960);
    vox::WriteU32(block.data() + 4, kCodedLen);
    const std::vector<uint8_t> coded = CodedBlock();
    block.insert(block.end(), coded.begin(), coded.end());
    const std::string path = Database().Folder() + "/append.bin";
    const std::string command = "cp '" + Database().Talk() + "' '" + path + "'";
    const int fd = std::system(command.c_str()) == 0 ? open(path.c_str(), O_WRONLY | O_APPEND) : -1;
    if (fd < 0) {
        state.SkipWithError("cannot open the file to append to");
        return;
    }
    for (auto _ : state) {
        if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
            state.SkipWithError("write failed");
            break;
        }
    }
    close(fd);
    std::remove(path.c_str());
}

BENCHMARK(BM_SafeCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_AddFragmentRewrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_ReplaceFragmentAppend)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OneWrite)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

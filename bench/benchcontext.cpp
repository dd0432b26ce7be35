#include "bench/benchcontext.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "audio/player/nullsounddevice.h"

namespace vox::bench {
namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

}  // namespace

const std::string& DatabasePath() {
    static const std::string path =
        FromEnvironment("VOXBENCH_DB", "/tmp/voxbench-bench/small/speech.vox");
    return path;
}

const std::string& ScratchFolder() {
    static const std::string path =
        FromEnvironment("VOXBENCH_SCRATCH", "/tmp/voxbench-bench/scratch");
    return path;
}

std::string FolderOfDatabase() { return CVoxbenchDoc::CompanionFolder(DatabasePath()); }

OpenedDatabase::OpenedDatabase()
    : doc_(std::make_unique<CVoxbenchDoc>(
          profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()))) {
    if (!doc_->OnOpenDocument(DatabasePath())) {
        std::fprintf(stderr, "%s\n", doc_->GetOpenError().c_str());
        std::exit(1);
    }
}

CVoxbenchDoc& SharedDoc() {
    static OpenedDatabase database;
    return database.Doc();
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    std::fseek(file, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

int64_t ResidentBytes() {
    FILE* file = std::fopen("/proc/self/statm", "r");
    long long size = 0;
    long long resident = 0;
    if (file != nullptr) {
        if (std::fscanf(file, "%lld %lld", &size, &resident) != 2) resident = 0;
        std::fclose(file);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

std::vector<FragVoice> RandomPairs(const CVoxbenchDoc& doc, size_t count) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> fragment(0, doc.GetFragCount() - 1);
    std::vector<FragVoice> pairs;
    while (pairs.size() < count) {
        const int f = fragment(random);
        ListRecord record;
        FragElement element;
        if (!doc.GetFragRecord(f, record) || record.count < 1) continue;
        std::uniform_int_distribution<int> position(0, record.count - 1);
        if (doc.GetFragElement(record, position(random), element)) {
            pairs.push_back({f, element.voice});
        }
    }
    return pairs;
}

std::vector<int> EntrySample(const CVoxbenchDoc& doc, size_t maxEntries, int* lastFragment) {
    std::vector<int> entries;
    int f = 0;
    for (; f < doc.GetFragCount() && entries.size() < maxEntries; ++f) {
        ListRecord record;
        if (!doc.GetFragRecord(f, record)) continue;
        for (int p = 0; p < record.count; ++p) {
            FragElement element;
            if (doc.GetFragElement(record, p, element)) entries.push_back(element.voxIndex);
        }
    }
    if (lastFragment != nullptr) *lastFragment = f - 1;
    return entries;
}

}  // namespace vox::bench

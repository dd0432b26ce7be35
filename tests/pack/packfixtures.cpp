#include "tests/pack/packfixtures.h"

#include <gtest/gtest.h>

#include "pack/packer.h"
#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "talkdata/voxfile.h"
#include "tests/support/tempdir.h"

namespace vox::test {

std::string NoteLog::All() const {
    std::string all;
    for (const std::string& note : notes) all += note + "\n";
    return all;
}

bool UnpackFolder(const std::string& dbFolder, const std::string& talkName,
                  const std::string& outFolder, NoteLog& log, std::string& error,
                  const std::string& phrasesPath, const std::string& commNamesPath,
                  const ProgressFn& progress) {
    const std::vector<uint8_t> talk = ReadFileBytes(dbFolder + "/" + talkName);
    const std::vector<uint8_t> comm = ReadFileBytes(dbFolder + "/commFile.bin");
    FragTable frags;
    EvalTable evals;
    if (!frags.Load(dbFolder + "/fragFile.bin") || !evals.Load(dbFolder + "/evalFile.bin")) {
        error = "tables do not load";
        return false;
    }
    History history;
    if (!ReadHistory(dbFolder + "/" + talkName, history, &error)) return false;
    pack::UnpackSource source;
    source.history = &history;
    source.talkName = talkName;
    source.talk = talk;
    source.frags = &frags;
    source.evals = &evals;
    source.comm = comm;
    source.phrasesPath = phrasesPath;
    source.commNamesPath = commNamesPath;
    pack::Unpacker unpacker([&log](const std::string& note) { log.notes.push_back(note); });
    const bool ok = unpacker.Unpack(source, outFolder, progress);
    error = unpacker.GetError();
    return ok;
}

bool PackFolder(const std::string& folder, const std::string& outFolder, NoteLog& log,
                std::string& error, const ProgressFn& progress) {
    pack::Packer packer([&log](const std::string& note) { log.notes.push_back(note); });
    const bool ok = packer.Pack(folder, outFolder, progress);
    error = packer.GetError();
    return ok;
}

void ExpectSameDatabase(const std::string& original, const std::string& packed,
                        const std::string& talkName, bool tablesIdentical) {
    if (tablesIdentical) {
        for (const char* table : {"fragFile.bin", "evalFile.bin", "commFile.bin"})
            EXPECT_EQ(ReadFileBytes(original + "/" + table), ReadFileBytes(packed + "/" + table))
                << table;
    }
    const std::vector<uint8_t> a = ReadFileBytes(original + "/" + talkName);
    const std::vector<uint8_t> b = ReadFileBytes(packed + "/" + talkName);
    ASSERT_GE(b.size(), 12u);
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 12, b.begin())) << "header";
    const uint32_t slots = VoxFile::SlotCount(a);
    ASSERT_EQ(VoxFile::SlotCount(b), slots);
    EXPECT_TRUE(VoxFile::HasWellFormedDirectory(b));
    auto slotValue = [](const std::vector<uint8_t>& file, uint32_t s) {
        return ReadU32(file.data() + 12 + 4 * s);
    };
    for (uint32_t s = 0; s < slots; ++s) {
        VoxEntry x, y;
        const bool hasX = VoxFile::GetVoxEntry(a, static_cast<int>(s), x);
        const bool hasY = VoxFile::GetVoxEntry(b, static_cast<int>(s), y);
        ASSERT_EQ(hasX, hasY) << "slot " << s;
        if (!hasX) {
            EXPECT_EQ(slotValue(b, s), 0u) << "slot " << s;
            continue;
        }
        EXPECT_EQ(x.decodedSize, y.decodedSize) << "slot " << s;
        ASSERT_EQ(x.codedSize, y.codedSize) << "slot " << s;
        EXPECT_TRUE(std::equal(x.data, x.data + x.codedSize, y.data)) << "slot " << s;
        for (uint32_t t = 0; t < s; ++t) {
            if (slotValue(a, t) == 0) continue;
            EXPECT_EQ(slotValue(a, s) == slotValue(a, t), slotValue(b, s) == slotValue(b, t))
                << "sharing of slots " << t << " and " << s;
        }
    }
}

}  // namespace vox::test

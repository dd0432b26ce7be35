// A writer killed at any moment: voxtool is started on a database and killed with SIGKILL after
// a random delay, many times. Afterwards every file is its old or its new complete version and
// the database verifies clean; a half-written temporary file may stay behind, but never in a
// database file's place.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "tests/faults/childprocess.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "workbench/document.h"

namespace vox::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Args = std::vector<std::string>;

// Bounds that keep the whole file of kill tests well inside CI's two minutes.
constexpr int kKills = 24;
constexpr auto kTimeBudget = std::chrono::seconds(10);
constexpr int kEntries = 120;
// Old recordings behind the entries: a rewrite of the talk file then takes long enough for
// many kills to land in the middle of it.
constexpr uint32_t kExtraBytes = 16u << 20;

// The entry of a slot, as the bytes of its block (sizes and coded bytes); empty when none.
Bytes EntryOf(const Bytes& talk, int voxIndex) {
    VoxEntry entry;
    if (!VoxFile::GetVoxEntry(talk, voxIndex, entry)) return {};
    const auto at = entry.data - talk.data() - 8;
    return Bytes(talk.begin() + at, talk.begin() + at + 8 + entry.codedSize);
}

// add and compact write a new talk file and then the table; replace and import append their
// entries and re-point slots in place (import under a journal), then append history lines. Once
// the next writer has opened the database (completing a batch a kill stopped), every slot names
// its old or its new entry, all of them or none of those the command changes, and no table and
// no history line is ahead of the slots.
class KilledWriter : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        WriteSpeechDatabase(Folder("orig"), kEntries, kExtraBytes);
        old_ = SnapshotFolder(Folder("orig"));
        Restore();
    }

    std::string Folder(const std::string& name) {
        fs::create_directories(work_.File(name));
        return work_.File(name);
    }
    std::string Talk() { return work_.File("db/speech.vox"); }
    void Restore() {
        fs::remove_all(work_.File("db"));
        fs::copy(Folder("orig"), Folder("db"));
    }

    Args ArgsOf(const std::string& command) {
        const std::string wave = WriteSpeechWave(work_.File("new.wav"), SpeechLikePcm(16000, 190));
        if (command == "add") return {"add", Talk(), "3", "7", wave};
        if (command == "replace") return {"replace", Talk(), "1", "1", wave};
        if (command == "compact") return {"compact", Talk()};
        const std::string list = Folder("export") + "/Filenames.csv";
        std::string err;
        EXPECT_EQ(
            RunToEnd({"export", Talk(), "--list", list, "--to", "24"}, Folder("config"), &err), 0)
            << err;
        // Every third recording changes; the others are re-installed as they are.
        const std::vector<std::string> names = ListFolder(Folder("export"));
        for (size_t i = 0; i < names.size(); i += 3) {
            if (names[i].ends_with(".wav"))
                WriteSpeechWave(Folder("export") + "/" + names[i],
                                SpeechLikePcm(6400 + 320 * (i % 9), 100 + 10 * i));
        }
        return {"import", Talk(), list};
    }

    void ExpectOldOrNew() {
        {
            MemoryProfile profile;
            CVoxbenchDoc writer(profile,
                                MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
            ASSERT_TRUE(writer.OnOpenDocument(Talk())) << writer.GetOpenError();
        }
        const FolderSnapshot now = SnapshotFolder(work_.File("db"));
        int changed = 0;
        int slotsNew = 0;
        for (int voxIndex = 0; voxIndex <= kEntries; ++voxIndex) {
            const Bytes entry = EntryOf(now.at("speech.vox"), voxIndex);
            const Bytes was = EntryOf(old_.at("speech.vox"), voxIndex);
            const Bytes will = EntryOf(fresh_.at("speech.vox"), voxIndex);
            EXPECT_TRUE(entry == was || entry == will) << "slot " << voxIndex << " names neither";
            changed += was != will ? 1 : 0;
            slotsNew += was != will && entry == will ? 1 : 0;
        }
        const bool talkDone = slotsNew == changed;
        EXPECT_TRUE(slotsNew == 0 || talkDone) << slotsNew << " of " << changed << " slots are new";
        for (const char* table : {"fragFile.bin", "evalFile.bin", "commFile.bin"}) {
            const Bytes& bytes = now.at(table);
            EXPECT_TRUE(bytes == old_.at(table) || (bytes == fresh_.at(table) && talkDone))
                << table;
        }
        History history;
        ASSERT_TRUE(ReadHistory(Talk(), history));
        EXPECT_TRUE(history.bad.empty());
        EXPECT_TRUE(history.lines.empty() || talkDone) << "a history line is ahead of its slots";
        std::string err;
        EXPECT_EQ(RunToEnd({"verify", Talk()}, Folder("config"), &err), 0) << err;
    }

    TempDir work_;
    FolderSnapshot old_;
    FolderSnapshot fresh_;
};

// The command runs once to its end, for its usual time and what it writes; then it is started
// again and again on the old database and killed after a random part of that time (a little
// more, so that some kills come after it has finished).
TEST_P(KilledWriter, LeavesEverySlotOnItsOldOrItsNewEntryAndNothingAheadOfThem) {
    const Args args = ArgsOf(GetParam());
    const auto start = Clock::now();
    std::string err;
    ASSERT_EQ(RunToEnd(args, Folder("config"), &err), 0) << err;
    const auto usual = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    fresh_ = SnapshotFolder(work_.File("db"));
    ASSERT_NE(fresh_.at("speech.vox"), old_.at("speech.vox"));

    std::mt19937_64 random(std::random_device{}());
    std::uniform_int_distribution<int64_t> delay(0, usual.count() * 11 / 10);
    const auto deadline = Clock::now() + kTimeBudget;
    for (int round = 0; round < kKills && Clock::now() < deadline && !HasFailure(); ++round) {
        Restore();
        ChildProcess child;
        ASSERT_TRUE(child.Start(args, Folder("config")));
        const int64_t after = delay(random);
        std::this_thread::sleep_for(std::chrono::microseconds(after));
        child.Kill();
        SCOPED_TRACE("killed after " + std::to_string(after) + " us, status " +
                     std::to_string(child.Wait()));
        ExpectOldOrNew();
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, KilledWriter,
                         ::testing::Values("add", "compact", "replace", "import"));

}  // namespace
}  // namespace vox::test

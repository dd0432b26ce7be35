// A writer killed at any moment: voxtool (or, for a table save, a child of this test) is
// started on a database and killed with SIGKILL after a random delay, many times. Afterwards
// every file is its old or its new complete version and the database verifies clean; a
// half-written temporary file may stay behind, but never in a database file's place.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/fragtable.h"
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
using Bytes = std::vector<uint8_t>;

// Bounds that keep the whole file of kill tests well inside CI's two minutes.
constexpr int kKills = 24;
constexpr auto kTimeBudget = std::chrono::seconds(10);
constexpr int kEntries = 120;
// Old recordings behind the entries: a rewrite of the talk file then takes long enough for
// many kills to land in the middle of it.
constexpr uint32_t kExtraBytes = 16u << 20;

const char* const kTables[] = {"fragFile.bin", "evalFile.bin", "commFile.bin"};

// Where the kills landed, printed with each test so a reader sees they hit the writing.
struct KillTally {
    int asOld = 0;    // the writer had not replaced anything yet
    int between = 0;  // some files new, some old
    int asNew = 0;    // everything replaced, or the writer had finished
    int strays = 0;   // runs that left a temporary file behind

    void Print(const char* what) const {
        std::printf(
            "%s: %d kills left the old version, %d a consistent mix of files, %d the new "
            "version; %d left a temporary file\n",
            what, asOld, between, asNew, strays);
    }
};

bool IsDatabaseFile(const std::string& name) {
    if (name == "speech.vox") return true;
    for (const char* table : kTables) {
        if (name == table) return true;
    }
    return false;
}

void CopyFolder(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(from)) {
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), to + "/" + entry.path().filename().string());
    }
}

class KilledWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteSpeechDatabase(Folder("orig"), kEntries, kExtraBytes);
        old_ = SnapshotFolder(Folder("orig"));
        std::random_device seed;
        random_.seed(seed());
    }

    std::string Folder(const std::string& name) {
        const std::string path = work_.File(name);
        fs::create_directories(path);
        return path;
    }
    std::string Db() { return work_.File("db"); }
    std::string Talk() { return Db() + "/speech.vox"; }
    void Restore() { CopyFolder(Folder("orig"), Db()); }

    // Runs the command to its end on a fresh copy of the database; the time it took.
    Clock::duration RunOnce(const std::vector<std::string>& args) {
        Restore();
        const auto start = Clock::now();
        std::string err;
        EXPECT_EQ(RunToEnd(args, Folder("config"), &err), 0) << err;
        return Clock::now() - start;
    }

    // Starts the command on a fresh copy and kills it after a random part of its usual time
    // (a little more, so that some kills come after it has finished); then check() judges.
    template <typename Check>
    void KillRepeatedly(const std::vector<std::string>& args, Clock::duration usual,
                        std::function<void()> prepare, Check check) {
        const auto deadline = Clock::now() + kTimeBudget;
        std::uniform_int_distribution<int64_t> delay(
            0, std::chrono::duration_cast<std::chrono::microseconds>(usual).count() * 11 / 10);
        for (int round = 0; round < kKills && Clock::now() < deadline; ++round) {
            prepare();
            ChildProcess child;
            ASSERT_TRUE(child.Start(args, Folder("config")));
            const int64_t after = delay(random_);
            std::this_thread::sleep_for(std::chrono::microseconds(after));
            child.Kill();
            const int status = child.Wait();
            SCOPED_TRACE("killed after " + std::to_string(after) + " us, status " +
                         std::to_string(status));
            check();
            if (HasFailure()) return;
        }
    }

    // voxtool verify on the database as the kill left it.
    void ExpectVerifiesClean() {
        std::string err;
        EXPECT_EQ(RunToEnd({"verify", Talk()}, Folder("config"), &err), 0) << err;
    }

    // Every database file is its old or its new version; anything else in the folder is a
    // temporary file. Returns how many database files are new.
    int ExpectOldOrNew(const FolderSnapshot& fresh, KillTally& tally, int* strays = nullptr) {
        const FolderSnapshot now = SnapshotFolder(Db());
        int newFiles = 0;
        int others = 0;
        for (const auto& [name, bytes] : now) {
            if (!IsDatabaseFile(name)) {
                ++others;
                continue;
            }
            const bool isOld = old_.at(name) == bytes;
            const bool isNew = fresh.at(name) == bytes;
            EXPECT_TRUE(isOld || isNew) << name << " is neither its old nor its new version";
            if (isNew && !isOld) ++newFiles;
        }
        for (const auto& [name, bytes] : old_) {
            EXPECT_EQ(now.count(name), 1u) << name << " is gone";
        }
        if (others > 0) ++tally.strays;
        if (strays != nullptr) *strays = others;
        return newFiles;
    }

    TempDir work_;
    FolderSnapshot old_;
    std::mt19937_64 random_;
};

TEST_F(KilledWriter, AnAddLeavesTheOldOrTheNewTalkFileAndTableAndNeverATableAheadOfItsTalkFile) {
    const std::string wave = WriteSpeechWave(work_.File("new.wav"), SpeechLikePcm(16000, 190));
    const std::vector<std::string> args = {"add", Talk(), "3", "7", wave};
    const Clock::duration usual = RunOnce(args);
    const FolderSnapshot fresh = SnapshotFolder(Db());
    ASSERT_NE(fresh.at("speech.vox"), old_.at("speech.vox"));
    ASSERT_NE(fresh.at("fragFile.bin"), old_.at("fragFile.bin"));

    KillTally tally;
    KillRepeatedly(
        args, usual, [&] { Restore(); },
        [&] {
            ExpectOldOrNew(fresh, tally);
            const FolderSnapshot now = SnapshotFolder(Db());
            const bool talkNew = now.at("speech.vox") == fresh.at("speech.vox");
            const bool fragNew = now.at("fragFile.bin") == fresh.at("fragFile.bin");
            // The table is saved after the talk file: a new table must never name an entry that
            // the talk file does not have yet.
            EXPECT_FALSE(fragNew && !talkNew) << "fragFile.bin was saved before the talk file";
            if (!talkNew)
                ++tally.asOld;
            else if (!fragNew)
                ++tally.between;
            else
                ++tally.asNew;
            ExpectVerifiesClean();
        });
    tally.Print("add");
}

TEST_F(KilledWriter, ACompactLeavesTheOldOrTheNewTalkFile) {
    const std::vector<std::string> args = {"compact", Talk()};
    const Clock::duration usual = RunOnce(args);
    const FolderSnapshot fresh = SnapshotFolder(Db());
    ASSERT_LT(fresh.at("speech.vox").size(), old_.at("speech.vox").size());

    KillTally tally;
    KillRepeatedly(
        args, usual, [&] { Restore(); },
        [&] {
            const int newFiles = ExpectOldOrNew(fresh, tally);
            if (newFiles == 0)
                ++tally.asOld;
            else
                ++tally.asNew;
            ExpectVerifiesClean();
        });
    tally.Print("compact");
}

// The entry of a slot, as the bytes of its block (sizes and coded bytes); empty when none.
Bytes EntryOf(const Bytes& talk, int voxIndex) {
    VoxEntry entry;
    if (!VoxFile::GetVoxEntry(talk, voxIndex, entry)) return {};
    const size_t at = static_cast<size_t>(entry.data - talk.data()) - 8;
    return Bytes(talk.begin() + static_cast<std::ptrdiff_t>(at),
                 talk.begin() + static_cast<std::ptrdiff_t>(at + 8 + entry.codedSize));
}

// Import replaces entries in place, as a replace does: the new entries are appended in one
// write, then the slots are re-pointed under a journal. A kill can land anywhere; once the next
// writer has opened the database, every slot names its old entry, or every slot its new one.
TEST_F(KilledWriter, AnImportLeavesEverySlotOnItsOldOrItsNewEntry) {
    const std::string list = Folder("export") + "/Filenames.csv";
    Restore();
    std::string err;
    ASSERT_EQ(RunToEnd({"export", Talk(), "--list", list, "--to", "24"}, Folder("config"), &err), 0)
        << err;
    int changed = 0;
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(Folder("export"))) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".wav") {
            // Every third recording changes; the others are re-installed as they are.
            if (++seen % 3 == 0) {
                WriteSpeechWave(entry.path().string(), SpeechLikePcm(6400 + 320 * (changed % 9),
                                                                     100 + 10 * (3 + changed)));
                ++changed;
            }
        }
    }
    ASSERT_GT(changed, 10);
    const std::vector<std::string> args = {"import", Talk(), list};
    const Clock::duration usual = RunOnce(args);
    const FolderSnapshot fresh = SnapshotFolder(Db());
    const Bytes& oldTalk = old_.at("speech.vox");
    const Bytes& newTalk = fresh.at("speech.vox");
    ASSERT_NE(newTalk, oldTalk);

    KillTally tally;
    KillRepeatedly(
        args, usual, [&] { Restore(); },
        [&] {
            // Any writer completes a batch that a kill stopped, as soon as it has the lock.
            {
                MemoryProfile profile;
                CVoxbenchDoc writer(profile,
                                    MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
                ASSERT_TRUE(writer.OnOpenDocument(Talk())) << writer.GetOpenError();
            }
            const FolderSnapshot now = SnapshotFolder(Db());
            for (const char* table : kTables) EXPECT_EQ(now.at(table), old_.at(table)) << table;
            const Bytes& talk = now.at("speech.vox");
            ASSERT_GE(talk.size(), oldTalk.size());
            EXPECT_TRUE(std::equal(oldTalk.begin(), oldTalk.begin() + 12, talk.begin()));
            int slotsNew = 0;
            for (int voxIndex = 0; voxIndex < kEntries; ++voxIndex) {
                const Bytes entry = EntryOf(talk, voxIndex);
                const bool isOld = entry == EntryOf(oldTalk, voxIndex);
                const bool isNew = entry == EntryOf(newTalk, voxIndex);
                EXPECT_TRUE(isOld || isNew) << "slot " << voxIndex << " names neither entry";
                if (isNew && !isOld) ++slotsNew;
            }
            if (slotsNew == 0) {
                ++tally.asOld;
            } else {
                EXPECT_EQ(slotsNew, changed) << "a part of the import was applied";
                ++(talk == newTalk ? tally.asNew : tally.between);
            }
            if (now.size() > old_.size()) ++tally.strays;
            ExpectVerifiesClean();
        });
    tally.Print("import");
}

// A replace appends its entry, re-points the slot, then appends its history line: a kill
// leaves the old slot and no line, or the new slot with or without its line, never a line the
// slot does not bear out.
TEST_F(KilledWriter, AReplaceNeverLeavesAHistoryLineAheadOfItsSlot) {
    const std::string wave = WriteSpeechWave(work_.File("new.wav"), SpeechLikePcm(6400, 170));
    const std::vector<std::string> args = {"replace", Talk(), "1", "1", wave};
    const Clock::duration usual = RunOnce(args);
    const Bytes newTalk = SnapshotFolder(Db()).at("speech.vox");
    const uint32_t oldSlot = ReadU32(old_.at("speech.vox").data() + TalkSlotOffset(2));
    const uint32_t newSlot = ReadU32(newTalk.data() + TalkSlotOffset(2));
    ASSERT_NE(oldSlot, newSlot);

    KillTally tally;
    KillRepeatedly(
        args, usual, [&] { Restore(); },
        [&] {
            const Bytes talk = ReadFileBytes(Talk());
            const uint32_t slot = ReadU32(talk.data() + TalkSlotOffset(2));
            EXPECT_TRUE(slot == oldSlot || slot == newSlot);
            History history;
            ASSERT_TRUE(ReadHistory(Talk(), history));
            EXPECT_TRUE(history.bad.empty());
            ASSERT_LE(history.lines.size(), 1u);
            if (!history.lines.empty()) {
                EXPECT_EQ(slot, newSlot);
                EXPECT_EQ(history.lines[0].oldOffset, oldSlot);
                EXPECT_EQ(history.lines[0].newOffset, newSlot);
            }
            ++(slot == oldSlot ? tally.asOld : history.lines.empty() ? tally.between : tally.asNew);
            ExpectVerifiesClean();
        });
    tally.Print("replace (slot moved without its line: between)");
}

// pack builds its folder beside the target and renames it into place: after a kill the target
// is absent or complete, and what the killed run left is only its temporary folder, which the
// next run clears.
TEST_F(KilledWriter, APackLeavesTheOutputFolderAbsentOrComplete) {
    Restore();
    const std::string unpacked = work_.File("unpacked");
    std::string err;
    ASSERT_EQ(RunToEnd({"unpack", Talk(), unpacked}, Folder("config"), &err), 0) << err;
    const std::string out = work_.File("packed");
    const std::vector<std::string> args = {"pack", unpacked, out};
    const auto start = Clock::now();
    ASSERT_EQ(RunToEnd(args, Folder("config"), &err), 0) << err;
    const Clock::duration usual = Clock::now() - start;
    const FolderSnapshot fresh = SnapshotFolder(out);
    ASSERT_EQ(fresh.count("speech.vox"), 1u);
    const auto leftovers = [&] {
        int count = 0;
        for (const std::string& name : ListFolder(work_.Path()))
            count += name.rfind("packed.partial-", 0) == 0 ? 1 : 0;
        return count;
    };

    KillTally tally;
    KillRepeatedly(
        args, usual, [&] { fs::remove_all(out); },
        [&] {
            if (leftovers() > 0) ++tally.strays;
            if (!fs::exists(out)) {
                ++tally.asOld;
                return;
            }
            EXPECT_TRUE(SnapshotFolder(out) == fresh)
                << "the output folder is not the complete result";
            ++tally.asNew;
            EXPECT_EQ(RunToEnd({"verify", out + "/speech.vox"}, Folder("config"), &err), 0) << err;
        });
    tally.Print("pack");
    fs::remove_all(out);
    ASSERT_EQ(RunToEnd(args, Folder("config"), &err), 0) << err;
    EXPECT_EQ(leftovers(), 0) << "a later run left the killed runs' temporary folders";
}

// A table save, killed while it runs again and again: the child saves two versions of a large
// fragment table by turns until it is killed.
TEST_F(KilledWriter, ATableSaveLeavesOneOfTheTwoVersions) {
    FragTable first;
    FragTable second;
    for (int f = 0; f < 20000; ++f) {
        ASSERT_TRUE(first.AddElement(f, f % 14, f));
        ASSERT_TRUE(second.AddElement(f, (f + 1) % 14, 32767 - f));
    }
    const std::string path = Folder("tables") + "/fragFile.bin";
    ASSERT_TRUE(first.Save(path));
    const Bytes one = first.SaveBytes();
    const Bytes two = second.SaveBytes();

    std::uniform_int_distribution<int> delay(0, 40000);
    KillTally tally;
    for (int round = 0; round < kKills; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                if (!second.Save(path) || !first.Save(path)) _exit(1);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random_)));
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";
        const Bytes now = ReadFileBytes(path);
        EXPECT_TRUE(now == one || now == two)
            << "fragFile.bin is a mix (" << now.size() << " bytes)";
        now == one ? ++tally.asOld : ++tally.asNew;
        if (ListFolder(Folder("tables")).size() > 1) ++tally.strays;
        FragTable reloaded;
        EXPECT_TRUE(reloaded.Load(path)) << reloaded.GetError();
    }
    tally.Print("table save");
}

}  // namespace
}  // namespace vox::test

// pack and unpack report their progress, stop when asked, and whatever ends them early (a stop,
// a bad wave, a failed write, a kill) leaves neither a target nor a temporary folder behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "pack/outputfolder.h"
#include "pack/packer.h"
#include "talkdata/faultinjection.h"
#include "tests/pack/packfixtures.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

constexpr uint64_t kRecordings = 4;  // the fixture's entries; its shared slot adds none

// Records every progress call and answers false at one of them.
struct ProgressLog {
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    int stopAt = -1;
    std::function<void()> atStop;  // runs instead of stopping, when set

    ProgressFn Fn() {
        return [this](uint64_t done, uint64_t total) {
            calls.emplace_back(done, total);
            if (static_cast<int>(calls.size()) - 1 != stopAt) return true;
            if (!atStop) return false;
            atStop();
            return true;
        };
    }
};

class PackProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(3200, CodedSine(300, 1600));
        db.AddEntry(640, CodedSine(500, 320));
        db.AddEmptySlot();
        db.AddEntry(1600, CodedSine(700, 800));
        db.AddSharedSlot(1);
        db.AddEntry(960, CodedSine(900, 480));
        db.AddFragment({{0, 0}, {1, 1}, {2, 3}, {3, 5}});
        db.WriteTo(original_.Path());
        NoteLog log;
        std::string error;
        ASSERT_TRUE(UnpackFolder(original_.Path(), "speech.vox", In(), log, error)) << error;
    }
    void TearDown() override { faults::DisarmAll(); }

    std::string In() const { return work_.File("in"); }
    std::string Out() const { return work_.File("out"); }
    // What the work folder holds besides the input: the target and any temporary folder.
    std::vector<std::string> Beside() const {
        std::vector<std::string> names = ListFolder(work_.Path());
        std::erase(names, "in");
        return names;
    }
    bool Unpack(const std::string& to, std::string& error, const ProgressFn& progress = {}) {
        NoteLog log;
        return UnpackFolder(original_.Path(), "speech.vox", to, log, error, "", "", progress);
    }

    TempDir original_;
    TempDir work_;
};

void ExpectCountsUpToTheTotal(const ProgressLog& progress) {
    ASSERT_EQ(progress.calls.size(), kRecordings + 1);
    for (size_t i = 0; i < progress.calls.size(); ++i) {
        EXPECT_EQ(progress.calls[i].first, i) << "call " << i;
        EXPECT_EQ(progress.calls[i].second, kRecordings) << "call " << i;
    }
}

TEST_F(PackProgressTest, BothCountEveryRecordingOnceAndEndAtTheTotal) {
    ProgressLog unpacking;
    std::string error;
    ASSERT_TRUE(Unpack(Out(), error, unpacking.Fn())) << error;
    ExpectCountsUpToTheTotal(unpacking);

    ProgressLog packing;
    NoteLog log;
    ASSERT_TRUE(PackFolder(In(), work_.File("packed"), log, error, packing.Fn())) << error;
    ExpectCountsUpToTheTotal(packing);
    ExpectSameDatabase(original_.Path(), work_.File("packed"), "speech.vox");
}

TEST_F(PackProgressTest, AStopAtAnyStepLeavesNoTargetAndNoTemporaryFolder) {
    for (int step = 0; step <= static_cast<int>(kRecordings); ++step) {
        SCOPED_TRACE("stopped at step " + std::to_string(step));
        ProgressLog progress;
        progress.stopAt = step;
        pack::Packer packer([](const std::string&) {});
        EXPECT_FALSE(packer.Pack(In(), Out(), progress.Fn()));
        EXPECT_TRUE(packer.Stopped());
        EXPECT_EQ(packer.GetError(), "pack stopped before the end; nothing was written");
        EXPECT_EQ(progress.calls.size(), static_cast<size_t>(step) + 1) << "went on after a stop";
        EXPECT_TRUE(Beside().empty());

        progress = ProgressLog{};
        progress.stopAt = step;
        std::string error;
        EXPECT_FALSE(Unpack(Out(), error, progress.Fn()));
        EXPECT_EQ(error, "unpack stopped before the end; nothing was written");
        EXPECT_TRUE(Beside().empty());
    }
}

// Each file unpack writes can fail; whichever does, the message names the file where the user
// would look for it, and nothing is left.
TEST_F(PackProgressTest, AFailedWritePartWayLeavesNothing) {
    for (const char* point : {"safefile.create", "safefile.write", "safefile.rename"}) {
        // Nine files: four waves, their coded bytes and database.txt.
        for (int passes = 0; passes < 9; ++passes) {
            SCOPED_TRACE(std::string(point) + " after " + std::to_string(passes));
            faults::Arm(point, passes);
            std::string error;
            EXPECT_FALSE(Unpack(Out(), error));
            faults::DisarmAll();
            EXPECT_EQ(error.rfind(Out() + "/", 0), 0u) << error;
            EXPECT_TRUE(Beside().empty());
        }
    }
}

TEST_F(PackProgressTest, AnEmptyTargetIsReplacedAndKeepsItsPermissions) {
    ASSERT_EQ(mkdir(Out().c_str(), 0700), 0);
    ASSERT_EQ(chmod(Out().c_str(), 0750), 0);
    NoteLog log;
    std::string error;
    ASSERT_TRUE(PackFolder(In(), Out(), log, error)) << error;
    ExpectSameDatabase(original_.Path(), Out(), "speech.vox");
    struct stat info {};
    ASSERT_EQ(stat(Out().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0750u);
    EXPECT_EQ(Beside(), std::vector<std::string>{"out"});
}

// Somebody fills the empty target while pack works: the rename refuses, and their file stays.
TEST_F(PackProgressTest, ATargetFilledDuringThePackIsLeftAlone) {
    ASSERT_EQ(mkdir(Out().c_str(), 0755), 0);
    ProgressLog progress;
    progress.stopAt = static_cast<int>(kRecordings);
    progress.atStop = [this] { WriteText(Out() + "/late.txt", "theirs"); };
    NoteLog log;
    std::string error;
    EXPECT_FALSE(PackFolder(In(), Out(), log, error, progress.Fn()));
    EXPECT_EQ(error, Out() + ": the folder is not empty (give a new or empty folder)");
    EXPECT_EQ(ListFolder(Out()), std::vector<std::string>{"late.txt"});
    EXPECT_EQ(Beside(), std::vector<std::string>{"out"});
}

}  // namespace
}  // namespace vox::test

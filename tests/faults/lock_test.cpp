// Two programs on one database: while one holds it open for writing, every other writer is
// refused at once with a message saying why, and nothing is written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/memoryprofile.h"
#include "tests/faults/childprocess.h"
#include "tests/faults/faultdatabase.h"
#include "tests/support/tempdir.h"
#include "workbench/document.h"

namespace vox::test {
namespace {

constexpr const char* kRefusal = "another program has this database open for writing";

class SecondWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        talk_ = WriteFaultDatabase(dir_.Path(), 30, 4096);
        wave_ = WriteSpeechWave(config_.File("new.wav"), SpeechPcm(8000, 4));
        ASSERT_EQ(mkdir(config_.File("export").c_str(), 0700), 0);
        list_ = config_.File("export/Filenames.csv");
        std::string err;
        ASSERT_EQ(RunToEnd({"export", talk_, "--list", list_, "--to", "3"}, config_.Path(), &err),
                  0)
            << err;
        WriteSpeechWave(config_.File("export/1-0.wav"), SpeechPcm(4000, 6));
        before_ = SnapshotFolder(dir_.Path());
        first_ = OpenDocument();
        ASSERT_TRUE(first_->IsTalkFileOpen()) << first_->GetOpenError();
    }

    std::unique_ptr<CVoxbenchDoc> OpenDocument(
        CVoxbenchDoc::Access access = CVoxbenchDoc::Access::ReadWrite) {
        auto doc = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc->OnOpenDocument(talk_, access);
        return doc;
    }

    // Every writing command of voxtool, as a second program would run it.
    std::vector<std::vector<std::string>> WritingCommands() const {
        return {{"add", talk_, "2", "9", wave_},
                {"replace", talk_, "1", "0", wave_},
                {"import", talk_, list_},
                {"compact", talk_}};
    }

    TempDir dir_;
    TempDir config_;
    MemoryProfile profile_;
    std::string talk_;
    std::string wave_;
    std::string list_;
    FolderSnapshot before_;
    std::unique_ptr<CVoxbenchDoc> first_;
};

TEST_F(SecondWriter, EveryWritingCommandIsRefusedAndWritesNothing) {
    for (const std::vector<std::string>& command : WritingCommands()) {
        SCOPED_TRACE(command.front());
        std::string err;
        EXPECT_EQ(RunToEnd(command, config_.Path(), &err), 1);
        EXPECT_NE(err.find(kRefusal), std::string::npos) << err;
        EXPECT_TRUE(SnapshotFolder(dir_.Path()) == before_) << "the database changed";
    }
}

TEST_F(SecondWriter, ASecondDocumentInTheSameProgramIsRefusedButMayRead) {
    const std::unique_ptr<CVoxbenchDoc> second = OpenDocument();
    EXPECT_FALSE(second->IsTalkFileOpen());
    EXPECT_NE(second->GetOpenError().find(kRefusal), std::string::npos) << second->GetOpenError();
    const std::unique_ptr<CVoxbenchDoc> reader = OpenDocument(CVoxbenchDoc::Access::ReadOnly);
    EXPECT_TRUE(reader->IsTalkFileOpen()) << reader->GetOpenError();
    EXPECT_EQ(reader->GetFragCount(), first_->GetFragCount());
}

TEST_F(SecondWriter, ReadingCommandsStillWork) {
    std::string err;
    EXPECT_EQ(RunToEnd({"verify", talk_}, config_.Path(), &err), 0) << err;
    EXPECT_EQ(RunToEnd({"info", talk_}, config_.Path(), &err), 0) << err;
}

TEST_F(SecondWriter, OnceTheFirstWriterClosesTheNextOneGoesThrough) {
    first_->OnCloseDocument();
    std::string err;
    EXPECT_EQ(RunToEnd(WritingCommands().front(), config_.Path(), &err), 0) << err;
    EXPECT_TRUE(SnapshotFolder(dir_.Path()) != before_) << "nothing was written";
}

// The lock belongs to the talk file that is in place: after the first writer replaced the
// file by a rename (an add), a second writer is still refused.
TEST_F(SecondWriter, TheLockFollowsTheTalkFileThroughARewrite) {
    const std::vector<uint8_t> pcm = SpeechPcm(3200, 2);
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    ASSERT_TRUE(first_->EncodeSound(pcm.data(), 3200, coded, codedLen));
    ASSERT_TRUE(first_->AddFragment(0, 11, std::move(coded), codedLen, 3200));
    const FolderSnapshot afterAdd = SnapshotFolder(dir_.Path());
    std::string err;
    EXPECT_EQ(RunToEnd({"compact", talk_}, config_.Path(), &err), 1);
    EXPECT_NE(err.find(kRefusal), std::string::npos) << err;
    EXPECT_TRUE(SnapshotFolder(dir_.Path()) == afterAdd) << "the database changed";
}

}  // namespace
}  // namespace vox::test

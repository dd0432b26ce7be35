// Another program truncates a file while it is mapped: reads through the mapping past the new
// end raise SIGBUS, which must neither end the program nor let bytes that are gone be used.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/mappedfile.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "workbench/document.h"

namespace vox::test {
namespace {

constexpr size_t kFileBytes = 64 * 1024;
constexpr off_t kShortSize = 4096;

// What another program does: cut the file through a descriptor of its own.
void TruncateBehindTheMapping(const std::string& path, off_t size) {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

uint8_t ReadThrough(const uint8_t* p) { return *static_cast<const volatile uint8_t*>(p); }

class TruncatedMapping : public ::testing::Test {
  protected:
    void SetUp() override { WriteFileBytes(path_, std::vector<uint8_t>(kFileBytes, 0xAB)); }

    TempDir dir_;
    const std::string path_ = dir_.File("talk.vox");
};

TEST_F(TruncatedMapping, AReadPastTheNewEndSeesZerosAndMarksTheFileDamaged) {
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        SetUp();
        MappedFile file;
        ASSERT_TRUE(file.Open(path_, mode)) << file.GetError();
        const uint8_t* inside = file.At(100);
        const uint8_t* beyond = file.At(40000);
        ASSERT_NE(beyond, nullptr);
        EXPECT_FALSE(file.IsDamaged());

        TruncateBehindTheMapping(path_, kShortSize);
        EXPECT_EQ(ReadThrough(beyond), 0);
        EXPECT_EQ(ReadThrough(beyond + 20000), 0);  // the rest of the view was laid too
        EXPECT_EQ(ReadThrough(inside), 0xAB);       // below the new end nothing changed
        EXPECT_TRUE(file.IsDamaged());
    }
}

TEST_F(TruncatedMapping, ADamagedFileHandsOutNothingMoreAndRefusesToGrowOrFlush) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    const uint8_t* beyond = file.At(kFileBytes - 1);
    TruncateBehindTheMapping(path_, kShortSize);
    ReadThrough(beyond);
    ASSERT_TRUE(file.IsDamaged());

    EXPECT_EQ(file.At(0), nullptr);
    EXPECT_TRUE(file.Bytes().empty());
    const uint8_t block[8] = {};
    EXPECT_EQ(file.Append(block, sizeof block), MappedFile::kAppendFailed);
    EXPECT_NE(file.GetError().find("truncated"), std::string::npos) << file.GetError();
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.Remap());
    // Nothing was written back: the file keeps the size the other program gave it.
    EXPECT_EQ(ReadFileBytes(path_).size(), static_cast<size_t>(kShortSize));
}

TEST_F(TruncatedMapping, AStoreThroughAReadWriteViewPastTheNewEndIsLostNotWritten) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    uint8_t* beyond = file.At(50000);
    TruncateBehindTheMapping(path_, kShortSize);
    *static_cast<volatile uint8_t*>(beyond) = 0x11;
    EXPECT_TRUE(file.IsDamaged());
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_).size(), static_cast<size_t>(kShortSize));
}

TEST_F(TruncatedMapping, OnlyTheMappingThatFaultedIsDamaged) {
    const std::string otherPath = dir_.File("comm.bin");
    WriteFileBytes(otherPath, std::vector<uint8_t>(kFileBytes, 0xCD));
    MappedFile cut;
    MappedFile other;
    ASSERT_TRUE(cut.Open(path_, 0));
    ASSERT_TRUE(other.Open(otherPath, 0));
    const uint8_t* beyond = cut.At(60000);
    TruncateBehindTheMapping(path_, 0);
    EXPECT_EQ(ReadThrough(beyond), 0);
    EXPECT_TRUE(cut.IsDamaged());
    EXPECT_FALSE(other.IsDamaged());
    EXPECT_EQ(ReadThrough(other.At(60000)), 0xCD);
}

// A bus error that no guarded view explains is not ours to swallow.
TEST_F(TruncatedMapping, ABusErrorOutsideEveryGuardedViewStillEndsTheProgram) {
    MappedFile guarded;  // installs the handler
    ASSERT_TRUE(guarded.Open(path_, 0));
    EXPECT_DEATH(
        {
            const int fd = open(path_.c_str(), O_RDWR);
            void* raw = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, fd, 0);
            if (ftruncate(fd, 0) == 0 && raw != MAP_FAILED)
                ReadThrough(static_cast<uint8_t*>(raw) + 9000);
            fprintf(stderr, "survived\n");
            _exit(0);
        },
        "");
}

// The whole database in a document: the talk file is cut short behind the open document,
// then every fragment is looked up and decoded, the form's road to "Play".
class TruncatedDatabase : public ::testing::Test {
  protected:
    void SetUp() override {
        talk_ = WriteSpeechDatabase(dir_.Path(), 60);
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
        ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    }

    // Looks up and decodes every voice of every fragment; how many decoded.
    int DecodeEverything() {
        int decoded = 0;
        for (int f = 0; f < doc_->GetFragCount(); ++f) {
            ListRecord record;
            if (!doc_->GetFragRecord(f, record)) continue;
            for (int voice = 0; voice < 14; ++voice) {
                VoxEntry entry;
                if (!doc_->GetVoxEntry(doc_->FindVoxIndex(record, voice), entry)) continue;
                std::unique_ptr<uint8_t[]> pcm;
                uint32_t pcmLen = 0;
                if (doc_->DecodeEntry(entry, pcm, pcmLen)) ++decoded;
            }
        }
        for (int c = 0; c < doc_->GetCommCount(); ++c) {
            CommRecord record;
            if (doc_->GetCommRecord(c, record)) doc_->GetCommEntry(record, 0);
        }
        return decoded;
    }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
};

TEST_F(TruncatedDatabase, LookupsAfterTheTalkFileWasCutFailQuietlyAndTheDocumentKnowsWhy) {
    ASSERT_EQ(DecodeEverything(), 60);
    const size_t size = ReadFileBytes(talk_).size();
    TruncateBehindTheMapping(talk_, static_cast<off_t>(size / 3));
    const int decoded = DecodeEverything();
    EXPECT_LT(decoded, 60);
    EXPECT_TRUE(doc_->GetVoxFile().IsDamaged());
    EXPECT_EQ(DecodeEverything(), 0);  // a damaged file hands out nothing more
}

TEST_F(TruncatedDatabase, NamesTheTalkFileFirstAndTheCommFileWhenOnlyItWasCut) {
    DecodeEverything();
    EXPECT_EQ(doc_->DamagedFileName(), "");
    const std::string comm = dir_.File(CVoxbenchDoc::kCommFileName);
    TruncateBehindTheMapping(comm, 0);
    DecodeEverything();
    EXPECT_EQ(doc_->DamagedFileName(), comm);
    TruncateBehindTheMapping(talk_, 0);
    DecodeEverything();
    EXPECT_EQ(doc_->DamagedFileName(), talk_);
}

TEST_F(TruncatedDatabase, ADamagedTalkFileIsNeverRewrittenFromWhatIsLeft) {
    const size_t size = ReadFileBytes(talk_).size();
    TruncateBehindTheMapping(talk_, static_cast<off_t>(size / 2));
    DecodeEverything();
    ASSERT_TRUE(doc_->GetVoxFile().IsDamaged());
    const FolderSnapshot before = SnapshotFolder(dir_.Path());

    const std::vector<uint8_t> coded(40, 0x0B);
    const Status added = doc_->AddFragment(0, 9, std::make_unique<uint8_t[]>(40), 40, 640);
    EXPECT_FALSE(added.error.empty());
    EXPECT_FALSE(doc_->ReplaceFragment(1, 0, coded.data(), 40, 640));
    EXPECT_EQ(SnapshotFolder(dir_.Path()), before);
}

}  // namespace
}  // namespace vox::test

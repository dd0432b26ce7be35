// Another program truncates a file while it is mapped: reads through the mapping past the new
// end raise SIGBUS, which must neither end the program nor let bytes that are gone be used.
// Verify reports the damage, and a voxtool command that read through it fails instead of
// passing off zeros as the database.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/mappedfile.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/verify.h"
#include "tests/faults/childprocess.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "workbench/document.h"

namespace vox::test {
namespace {

constexpr size_t kFileBytes = 64 * 1024;
constexpr off_t kShortSize = 4096;

// What another program does: cut the file by its name.
void Cut(const std::string& path, off_t size) { ASSERT_EQ(truncate(path.c_str(), size), 0); }

uint8_t ReadThrough(const uint8_t* p) { return *static_cast<const volatile uint8_t*>(p); }

TEST(TruncatedMapping, ReadsPastTheNewEndSeeZerosAndTheDamagedFileRefusesEverything) {
    TempDir dir;
    const std::string path = dir.File("talk.vox");
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        WriteFileBytes(path, Bytes(kFileBytes, 0xAB));
        MappedFile file;
        ASSERT_TRUE(file.Open(path, mode)) << file.GetError();
        const uint8_t* inside = file.At(100);
        uint8_t* beyond = file.At(40000);
        ASSERT_NE(beyond, nullptr);
        EXPECT_FALSE(file.IsDamaged());

        Cut(path, kShortSize);
        if (mode == 1) *static_cast<volatile uint8_t*>(beyond + 10000) = 0x11;
        EXPECT_EQ(ReadThrough(beyond), 0);
        EXPECT_EQ(ReadThrough(beyond + 20000), 0);  // the rest of the view was laid too
        EXPECT_EQ(ReadThrough(inside), 0xAB);       // below the new end nothing changed
        EXPECT_TRUE(file.IsDamaged());

        EXPECT_EQ(file.At(0), nullptr);
        EXPECT_TRUE(file.Bytes().empty());
        const uint8_t block[8] = {};
        EXPECT_EQ(file.Append(block, sizeof block), MappedFile::kAppendFailed);
        EXPECT_TRUE(mode == 0 || file.GetError().find("truncated") != std::string::npos);
        EXPECT_FALSE(file.Flush());
        EXPECT_FALSE(file.Remap());
        file.Close();
        // Nothing was written back, not even the store: the other program's size stands.
        EXPECT_EQ(ReadFileBytes(path).size(), static_cast<size_t>(kShortSize));
    }
}

// A bus error that no guarded view explains is not ours to swallow.
TEST(TruncatedMapping, ABusErrorOutsideEveryGuardedViewStillEndsTheProgram) {
    TempDir dir;
    const std::string path = dir.File("talk.vox");
    WriteFileBytes(path, Bytes(kFileBytes, 0xAB));
    MappedFile guarded;  // installs the handler
    ASSERT_TRUE(guarded.Open(path, 0));
    EXPECT_DEATH(
        {
            const int fd = open(path.c_str(), O_RDWR);
            void* raw = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, fd, 0);
            if (ftruncate(fd, 0) == 0 && raw != MAP_FAILED)
                ReadThrough(static_cast<uint8_t*>(raw) + 9000);
            fprintf(stderr, "survived\n");
            _exit(0);
        },
        "");
}

// The whole database in a document, its files cut behind it: every entry is looked up and
// decoded, the form's road to "Play".
TEST(TruncatedDatabase, LookupsFailQuietlyTheDocumentNamesTheCutFileAndWritesNothing) {
    TempDir dir;
    const std::string talk = WriteSpeechDatabase(dir.Path(), 60);
    MemoryProfile profile;
    CVoxbenchDoc doc(profile, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    ASSERT_TRUE(doc.OnOpenDocument(talk)) << doc.GetOpenError();
    const auto decodeEverything = [&] {
        int decoded = 0;
        for (int voxIndex = 0; voxIndex < 60; ++voxIndex) {
            VoxEntry entry;
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            if (doc.GetVoxEntry(voxIndex, entry) && doc.DecodeEntry(entry, pcm, pcmLen)) ++decoded;
        }
        for (int c = 0; c < doc.GetCommCount(); ++c) {
            CommRecord record;
            if (doc.GetCommRecord(c, record)) doc.GetCommEntry(record, 0);
        }
        return decoded;
    };
    ASSERT_EQ(decodeEverything(), 60);
    EXPECT_EQ(doc.DamagedFileName(), "");

    // Reading through the cut comm file faults only its own view: the talk file stays whole.
    const std::string comm = dir.File(CVoxbenchDoc::kCommFileName);
    Cut(comm, 0);
    decodeEverything();
    EXPECT_EQ(doc.DamagedFileName(), comm);
    Cut(talk, static_cast<off_t>(ReadFileBytes(talk).size() / 3));
    EXPECT_LT(decodeEverything(), 60);
    EXPECT_TRUE(doc.GetVoxFile().IsDamaged());
    EXPECT_EQ(doc.DamagedFileName(), talk);  // the talk file first
    EXPECT_EQ(decodeEverything(), 0);        // a damaged file hands out nothing more

    // Never rewritten from what is left.
    const FolderSnapshot before = SnapshotFolder(dir.Path());
    const Bytes coded(40, 0x0B);
    EXPECT_FALSE(doc.AddFragment(0, 9, std::make_unique<uint8_t[]>(40), 40, 640).error.empty());
    EXPECT_FALSE(doc.ReplaceFragment(1, 0, coded.data(), 40, 640));
    EXPECT_EQ(SnapshotFolder(dir.Path()), before);
}

// Verify reads the talk file through a mapping of its own. The decode check is the caller's, so
// the cut lands at a known place: while the first entry is checked, before the rest are read.
TEST(DamagedVerify, ATalkFileCutWhileVerifyReadsItIsReportedAsDamaged) {
    TempDir dir;
    const std::string talk = WriteSpeechDatabase(dir.Path(), 20);
    bool cut = false;
    const auto check = [&](const VoxEntry& entry, std::string*) {
        if (std::exchange(cut, false)) Cut(talk, 16);
        volatile uint8_t sum = 0;  // like the codec, read every coded byte
        for (uint32_t i = 0; i < entry.codedSize; ++i) sum = sum + entry.data[i];
        return true;
    };
    EXPECT_FALSE(VerifyDatabaseFiles(talk, check).talkDamaged);
    cut = true;
    EXPECT_TRUE(VerifyDatabaseFiles(talk, check).talkDamaged);
}

// dump writes into a FIFO that the test reads at its own pace, so that it stops, its output
// unread, at a known place: a listing of so many entries is far larger than a pipe holds, so a
// dump that has printed only the first few kilobytes cannot have read far into the talk file.
TEST(DamagedVoxtool, ADumpWhoseTalkFileIsCutWhileItRunsFailsAndNamesTheFile) {
    TempDir dir;
    DatabaseBuilder db;
    for (int i = 0; i < 30000; ++i) db.AddEntry(320, {1, 2, 3, 4});
    const std::string talk = db.WriteTo(dir.Path());
    const std::string fifo = dir.File(".stdout");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int out = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // the child's open must not wait
    ASSERT_GE(out, 0);
    fcntl(out, F_SETFL, 0);
    const pid_t tool = StartVoxtool({"dump", talk}, dir.Path());
    ASSERT_GT(tool, 0);
    char buffer[4096];
    ASSERT_GT(read(out, buffer, sizeof buffer), 0);  // it has the talk file open
    ASSERT_EQ(truncate(talk.c_str(), 0), 0);
    while (read(out, buffer, sizeof buffer) > 0) {
    }
    close(out);
    EXPECT_EQ(WaitFor(tool), 1);
    const std::string err = ReadText(dir.File(".stderr"));
    EXPECT_NE(err.find("voxtool: " + talk + ": damaged: changed by another program while open"),
              std::string::npos)
        << err;
}

}  // namespace
}  // namespace vox::test

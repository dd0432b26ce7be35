// Write errors and a full disk while the talk file is rewritten or grown, or fragments are
// exported: the caller is told, and every file that was there is as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "audio/player/nullsounddevice.h"
#include "talkdata/faultinjection.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"

namespace vox::test {
namespace {

constexpr int kEntries = 40;
// Old recordings behind the entries, so that a rewrite of the talk file takes many writes.
constexpr uint32_t kExtraBytes = 600 * 1024;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class WriteErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        talk_ = WriteSpeechDatabase(dir_.Path(), kEntries, kExtraBytes);
        ASSERT_TRUE(doc_.OnOpenDocument(talk_)) << doc_.GetOpenError();
        before_ = SnapshotFolder(dir_.Path());
    }
    void TearDown() override { faults::DisarmAll(); }

    // Every file as it was, nothing added (no temporary file left behind); the document still
    // decodes every entry of its talk file.
    void ExpectNothingChanged() {
        EXPECT_EQ(SnapshotFolder(dir_.Path()), before_);
        ASSERT_TRUE(doc_.IsTalkFileOpen());
        for (int voxIndex = 0; voxIndex < kEntries; ++voxIndex) {
            VoxEntry entry;
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            EXPECT_TRUE(doc_.GetVoxEntry(voxIndex, entry) && doc_.DecodeEntry(entry, pcm, pcmLen))
                << voxIndex;
        }
    }

    Status Add(const Bytes& coded) {
        auto buffer = std::make_unique<uint8_t[]>(coded.size());
        std::copy(coded.begin(), coded.end(), buffer.get());
        return doc_.AddFragment(doc_.GetFragCount(), 0, std::move(buffer),
                                static_cast<uint32_t>(coded.size()), 6400);
    }

    TempDir dir_;
    MemoryProfile profile_;
    CVoxbenchDoc doc_{profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>())};
    std::string talk_;
    FolderSnapshot before_;
};

// Runs the operation with the fault point failing its first call, then its second, and so
// on, until the operation no longer reaches the point and succeeds; after each failed run,
// check() looks at what it left. Returns how many runs failed.
int SweepFault(const char* point, const std::function<bool()>& operation,
               const std::function<void()>& check) {
    for (int passes = 0; passes < 64; ++passes) {
        SCOPED_TRACE(std::string(point) + " after " + std::to_string(passes) + " calls");
        faults::Arm(point, passes);
        const bool ok = operation();
        faults::DisarmAll();
        if (ok) return passes;
        check();
    }
    ADD_FAILURE() << "still failing after 64 runs";
    return 64;
}

class SafeWriteFault : public WriteErrorTest, public ::testing::WithParamInterface<const char*> {};

// A replace of the first entry rewrites the talk file; an add rewrites it with a new slot.
TEST_P(SafeWriteFault, ARewriteOfTheTalkFileLandsWholeOrNotAtAll) {
    const Bytes coded = CodedPcm(SpeechLikePcm(6400, 170));
    for (const bool add : {true, false}) {
        const int fragments = doc_.GetFragCount();
        const bool modified = doc_.IsModified();
        std::string why;
        const auto run = [&] {
            why = add ? Add(coded).error
                      : doc_.ReplaceFragment(0, 0, coded.data(), coded.size(), 6400).error;
            return why.empty();
        };
        const auto check = [&] {
            EXPECT_FALSE(why.empty());
            EXPECT_EQ(doc_.GetFragCount(), fragments);
            EXPECT_EQ(doc_.IsModified(), modified);
            ExpectNothingChanged();
        };
        EXPECT_GT(SweepFault(GetParam(), run, check), 0);
        // The run that no longer met the fault wrote: the checks above could have failed.
        EXPECT_NE(ReadFileBytes(talk_), before_.at("speech.vox"));
        EXPECT_EQ(doc_.GetFragCount(), fragments + (add ? 1 : 0));
        before_ = SnapshotFolder(dir_.Path());
    }
}

TEST_P(SafeWriteFault, AnExportKeepsEveryEarlierFileWholeAndListsOnlyWhatItSaved) {
    // An earlier export with other recordings stands in the folder.
    const std::string out = dir_.File("out");
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    const std::string list = out + "/Filenames.csv";
    WriteFileBytes(list, {'o', 'l', 'd'});
    for (const char* name : {"0-0", "1-0", "1-1", "2-0", "2-1", "2-2", "3-0"})
        WriteSpeechWave(out + "/" + name + ".wav", SpeechLikePcm(1000, 600));
    const FolderSnapshot old = SnapshotFolder(out);
    before_ = SnapshotFolder(dir_.Path());
    TempDir reference;  // what a complete export writes
    ASSERT_TRUE(ExportFragmentRange(doc_, 0, 3, reference.File("Filenames.csv")).listWritten);
    const FolderSnapshot complete = SnapshotFolder(reference.Path());
    ASSERT_EQ(complete.size(), old.size());

    std::string why;
    const auto run = [&] { return (why = ExportFragmentRange(doc_, 0, 3, list).error).empty(); };
    const auto check = [&] {
        EXPECT_FALSE(why.empty());
        // Each wave file is its old or its new version, and a new list names exactly the new ones.
        const FolderSnapshot now = SnapshotFolder(out);
        std::string listed;
        std::istringstream lines(Text(complete.at("Filenames.csv")));
        for (std::string line; std::getline(lines, line);) {
            const std::string wave = line.substr(0, line.find(';')) + ".wav";
            if (line[0] == ';' || now.at(wave) == complete.at(wave)) listed += line + "\n";
        }
        for (const auto& [name, bytes] : now) {
            EXPECT_TRUE(bytes == old.at(name) || bytes == complete.at(name) ||
                        (name == "Filenames.csv" && Text(bytes) == listed))
                << name;
        }
        ExpectNothingChanged();  // the database beside it
    };
    EXPECT_GT(SweepFault(GetParam(), run, check), 0);
    EXPECT_EQ(SnapshotFolder(out), complete);
}

// Every step of a safe write that can fail: creating the temporary file, each write into it,
// flushing it to disk, renaming it over the old file.
INSTANTIATE_TEST_SUITE_P(EveryStep, SafeWriteFault,
                         ::testing::Values("safefile.create", "safefile.write", "safefile.sync",
                                           "safefile.rename"));

}  // namespace
}  // namespace vox::test

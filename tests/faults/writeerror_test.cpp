// Write errors and a full disk while a table is saved, the talk file is rewritten or grown, or
// fragments are exported: the user is told, and every file that was there is as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "talkdata/faultinjection.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "ui/documentcommands.h"
#include "ui/exportflows.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"

namespace vox::test {
namespace {

constexpr int kEntries = 40;
// Old recordings behind the entries, so that a rewrite of the talk file takes many writes.
constexpr uint32_t kExtraBytes = 600 * 1024;

bool AnyMessageStartsWith(const std::vector<std::string>& messages, const std::string& start) {
    for (const std::string& m : messages) {
        if (m.rfind(start, 0) == 0) return true;
    }
    return false;
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The lines of a text whose lines end in CR LF.
std::vector<std::string> Lines(const std::vector<uint8_t>& bytes) {
    std::vector<std::string> lines;
    const std::string text = Text(bytes);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& messages) {
    std::string all;
    for (const std::string& m : messages) all += "[" + m + "] ";
    return all;
}

// The document on a database in a temporary folder, with a snapshot of every file in it.
class WriteErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        talk_ = WriteSpeechDatabase(dir_.Path(), kEntries, kExtraBytes);
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
        ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
        before_ = SnapshotFolder(dir_.Path());
    }
    void TearDown() override { faults::DisarmAll(); }

    // Every file as it was, nothing added (no temporary file left behind).
    void ExpectFolderUnchanged() {
        const FolderSnapshot after = SnapshotFolder(dir_.Path());
        EXPECT_TRUE(NewNames(before_, after).empty()) << NewNames(before_, after).front();
        EXPECT_EQ(after.size(), before_.size());
        for (const auto& [name, bytes] : before_) {
            EXPECT_TRUE(after.count(name) == 1 && after.at(name) == bytes) << name << " changed";
        }
    }

    // The document still works on its talk file: every entry of every fragment decodes.
    void ExpectDocumentStillDecodes() {
        ASSERT_TRUE(doc_->IsTalkFileOpen());
        int decoded = 0;
        for (int voxIndex = 0; voxIndex < kEntries; ++voxIndex) {
            VoxEntry entry;
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            if (doc_->GetVoxEntry(voxIndex, entry) && doc_->DecodeEntry(entry, pcm, pcmLen)) {
                ++decoded;
            }
        }
        EXPECT_EQ(decoded, kEntries);
    }

    std::vector<uint8_t> Coded(int seed) {
        std::unique_ptr<uint8_t[]> coded;
        uint32_t codedLen = 0;
        const std::vector<uint8_t> pcm = SpeechLikePcm(6400, 100 + 10 * seed);
        EXPECT_TRUE(doc_->EncodeSound(pcm.data(), 6400, coded, codedLen));
        return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
    }

    bool Add(int fragment, int voice) {
        const std::vector<uint8_t> coded = Coded(fragment);
        auto buffer = std::make_unique<uint8_t[]>(coded.size());
        std::copy(coded.begin(), coded.end(), buffer.get());
        const Status added = doc_->AddFragment(fragment, voice, std::move(buffer),
                                               static_cast<uint32_t>(coded.size()), 6400);
        if (!added.error.empty()) errors_.push_back(added.error);
        return added.Ok();
    }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::vector<std::string> errors_;  // what the failed adds said
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
    FolderSnapshot before_;
};

// Every step of a safe write that can fail: creating the temporary file, each write into it,
// flushing it to disk, renaming it over the old file.
const char* const kSafeFilePoints[] = {"safefile.create", "safefile.write", "safefile.sync",
                                       "safefile.rename"};

std::string PointName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (c == '.') c = '_';
    }
    return name;
}

// Runs the operation with the fault point failing its first call, then its second, and so
// on, until the operation no longer reaches the point and succeeds; after each failed run,
// check() looks at what it left. Returns how many runs failed.
template <typename Operation, typename Check>
int SweepFault(const char* point, Operation operation, Check check) {
    constexpr int kMaxRuns = 64;
    int failedRuns = 0;
    for (int passes = 0; passes < kMaxRuns; ++passes) {
        SCOPED_TRACE(std::string(point) + " after " + std::to_string(passes) + " calls");
        faults::Arm(point, passes);
        const bool ok = operation();
        faults::DisarmAll();
        if (ok) return failedRuns;
        ++failedRuns;
        check();
    }
    ADD_FAILURE() << "still failing after " << kMaxRuns << " runs";
    return failedRuns;
}

class SafeWriteFault : public WriteErrorTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SafeWriteFault, ASavedTableStaysAsItWasAndTheSaveIsSaidToHaveFailed) {
    ASSERT_TRUE(doc_->InsertFragElement(0, 9, 3));
    const auto save = [&] {
        prompter_.messages.clear();
        prompter_.AnswerFile(dir_.File("fragFile.bin"));
        OnSaveFragFile(*doc_);
        return prompter_.messages.empty();
    };
    const auto check = [&] {
        EXPECT_TRUE(AnyMessageStartsWith(prompter_.messages, "File save failed"))
            << Joined(prompter_.messages);
        EXPECT_TRUE(doc_->GetFragTable().IsModified());
        ExpectFolderUnchanged();
    };
    EXPECT_GT(SweepFault(GetParam(), save, check), 0);
    // The run that no longer met the fault saved: the checks above could have failed.
    EXPECT_FALSE(doc_->GetFragTable().IsModified());
    EXPECT_TRUE(SnapshotFolder(dir_.Path()) != before_) << "nothing was written";
}

TEST_P(SafeWriteFault, AnAddLeavesTheTalkFileAndTheTablesAsTheyWereAndTheDocumentOpen) {
    const int fragments = doc_->GetFragCount();
    const auto add = [&] {
        errors_.clear();
        return Add(fragments, 0);
    };
    const auto check = [&] {
        EXPECT_FALSE(errors_.empty());
        EXPECT_EQ(doc_->GetFragCount(), fragments);
        EXPECT_FALSE(doc_->IsModified());
        ExpectFolderUnchanged();
        ExpectDocumentStillDecodes();
    };
    EXPECT_GT(SweepFault(GetParam(), add, check), 0);
    EXPECT_EQ(doc_->GetFragCount(), fragments + 1);
}

TEST_P(SafeWriteFault, AReplaceOfTheFirstEntryRewritesAllOrNothing) {
    const std::vector<uint8_t> coded = Coded(7);
    std::string why;
    const auto replace = [&] {
        why = doc_->ReplaceFragment(0, 0, coded.data(), static_cast<uint32_t>(coded.size()), 6400)
                  .error;
        return why.empty();
    };
    const auto check = [&] {
        EXPECT_FALSE(why.empty());
        ExpectFolderUnchanged();
        ExpectDocumentStillDecodes();
    };
    EXPECT_GT(SweepFault(GetParam(), replace, check), 0);
    EXPECT_NE(ReadFileBytes(talk_), before_.at("speech.vox"));
}

TEST_P(SafeWriteFault, AnExportKeepsEveryEarlierFileWholeAndSaysItFailed) {
    // An earlier export with other recordings stands in the folder.
    const std::string out = dir_.File("out");
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    const std::string list = out + "/Filenames.csv";
    WriteFileBytes(list, {'o', 'l', 'd'});
    for (int f = 0; f < 4; ++f) {
        for (int v = 0; v < 3; ++v) {
            WriteSpeechWave(out + "/" + std::to_string(f) + "-" + std::to_string(v) + ".wav",
                            SpeechLikePcm(1000, 100 + 10 * (50 + f)));
        }
    }
    const FolderSnapshot old = SnapshotFolder(out);
    // What a complete export writes, made elsewhere without a fault.
    TempDir reference;
    ASSERT_TRUE(ExportFragmentRange(*doc_, 0, 3, reference.File("Filenames.csv")).listWritten);
    const FolderSnapshot complete = SnapshotFolder(reference.Path());

    const auto exportRange = [&] {
        prompter_.messages.clear();
        prompter_.AnswerFile(list);
        prompter_.AnswerNumbers(std::vector<long long>{0, 3});
        SaveFragmentRange(*doc_);
        return !AnyMessageStartsWith(prompter_.messages, "File save failed");
    };
    const auto check = [&] {
        const FolderSnapshot now = SnapshotFolder(out);
        for (const auto& [name, bytes] : now) {
            const bool isOld = old.count(name) == 1 && old.at(name) == bytes;
            const bool isNew = complete.count(name) == 1 && complete.at(name) == bytes;
            if (name != "Filenames.csv") {
                EXPECT_TRUE(isOld || isNew) << name << " is neither its old nor its new version";
            }
        }
        // A new list names only what was saved: each of its lines is one of the complete
        // list's, and the wave file it names is there in its new version.
        const std::vector<uint8_t>& listBytes = now.at("Filenames.csv");
        if (listBytes != old.at("Filenames.csv")) {
            for (const std::string& line : Lines(listBytes)) {
                EXPECT_NE(Text(complete.at("Filenames.csv")).find(line + "\r\n"), std::string::npos)
                    << line;
                if (line.empty() || line[0] == ';') continue;
                const std::string wave = line.substr(0, line.find(';')) + ".wav";
                EXPECT_TRUE(now.count(wave) == 1 && now.at(wave) == complete.at(wave)) << wave;
            }
        }
        ExpectFolderUnchanged();  // the database beside it
    };
    EXPECT_GT(SweepFault(GetParam(), exportRange, check), 0);
    const FolderSnapshot done = SnapshotFolder(out);
    for (const auto& [name, bytes] : complete) {
        EXPECT_TRUE(done.count(name) == 1 && done.at(name) == bytes) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, SafeWriteFault, ::testing::ValuesIn(kSafeFilePoints),
                         PointName);

// A real failing write, not an injected one: a file size limit makes write() fail with EFBIG
// once a file would pass it, as a full disk fails it with ENOSPC.
class FileSizeLimit : public WriteErrorTest {
  protected:
    void SetUp() override {
        WriteErrorTest::SetUp();
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    }
    void TearDown() override {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
        WriteErrorTest::TearDown();
    }
    void LimitFilesTo(rlim_t bytes) {
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }

    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
};

TEST_F(FileSizeLimit, AnAddThatRunsOutOfRoomMidwayChangesNothing) {
    LimitFilesTo(before_.at("speech.vox").size() / 2);
    EXPECT_FALSE(Add(doc_->GetFragCount(), 0));
    EXPECT_TRUE(AnyMessageStartsWith(errors_, "Can't write temporary file")) << Joined(errors_);
    ExpectFolderUnchanged();
    ExpectDocumentStillDecodes();
}

TEST_F(FileSizeLimit, ATableSaveThatRunsOutOfRoomKeepsTheOldTable) {
    ASSERT_TRUE(doc_->InsertFragElement(1, 12, 4));
    LimitFilesTo(16);
    prompter_.AnswerFile(dir_.File("fragFile.bin"));
    OnSaveFragFile(*doc_);
    EXPECT_TRUE(AnyMessageStartsWith(prompter_.messages, "File save failed"))
        << Joined(prompter_.messages);
    EXPECT_TRUE(doc_->GetFragTable().IsModified());
    ExpectFolderUnchanged();
}

}  // namespace
}  // namespace vox::test

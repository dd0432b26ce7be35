// Two writers on one database, and readers while it is written. The first writer runs in this
// process and is held inside its flush (the slowest step, where a slow disk leaves the most
// room for a second program); a second writer, a voxtool child, runs to its end meanwhile.
// Afterwards the database verifies clean and every command that reported success kept its
// effect. Before the lock was held across the rename, a replace run during an add's flush
// exited 0 and was then thrown away.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/entrydecodecheck.h"
#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "talkdata/compact.h"
#include "talkdata/faultinjection.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/safefile.h"
#include "talkdata/verify.h"
#include "tests/faults/childprocess.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "ui/importflows.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"
#include "workbench/listimport.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr const char* kRefusal = "another program has this database open for writing";

enum class Op { Add, Replace, ReplaceFirst, Compact, Import };
const char* Name(Op op) {
    switch (op) {
        case Op::Add:
            return "add";
        case Op::Replace:
            return "replace";
        case Op::ReplaceFirst:
            return "replace0";
        case Op::Compact:
            return "compact";
        case Op::Import:
            return "import";
    }
    return "";
}

struct FragVoice {
    int fragment;
    int voice;
};

// The fault database gives fragment f voices 0 to f % 3 on entries of their own, so each role
// (0: the held first writer, 1: the second) works on its own recordings; only slot 0 is shared.
FragVoice AddTarget(int role) { return {4 + role, 9 + role}; }
FragVoice ReplaceTarget(int role) { return {1, role}; }
std::vector<FragVoice> ImportTargets(int role) { return {{2 + 3 * role, 0}, {2 + 3 * role, 1}}; }

std::unique_ptr<CVoxbenchDoc> OpenDoc(MemoryProfile& profile, const std::string& talk,
                                      CVoxbenchDoc::Access access) {
    auto doc = std::make_unique<CVoxbenchDoc>(
        profile, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    doc->OnOpenDocument(talk, access);
    return doc;
}

class Database : public ::testing::Test {
  protected:
    void SetUp() override { talk_ = WriteSpeechDatabase(dir_.Path(), 30, 4096); }

    std::unique_ptr<CVoxbenchDoc> Open(CVoxbenchDoc::Access access) {
        return OpenDoc(profile_, talk_, access);
    }

    // The coded bytes behind a fragment's voice, as the database holds them now.
    Bytes EntryOf(FragVoice pair) {
        const auto doc = Open(CVoxbenchDoc::Access::ReadOnly);
        ListRecord record;
        VoxEntry entry;
        if (!doc->GetFragRecord(pair.fragment, record) ||
            !doc->GetVoxEntry(doc->FindVoxIndex(record, pair.voice), entry)) {
            return {};
        }
        return Bytes(entry.data, entry.data + entry.codedSize);
    }

    uint64_t VerifyProblems() {
        SpeechCodec codec;
        codec.Init();
        const VerifyReport report = VerifyDatabaseFiles(talk_, MakeEntryDecodeCheck(codec));
        for (const VerifyFinding& finding : report.findings) ADD_FAILURE() << finding.Text();
        return report.problemCount;
    }

    TempDir dir_;
    TempDir config_;
    MemoryProfile profile_;
    std::string talk_;
};

class TwoWriters : public Database, public ::testing::WithParamInterface<std::tuple<Op, Op>> {
  protected:
    void SetUp() override {
        Database::SetUp();
        for (int role = 0; role < 2; ++role) {
            for (Op op : {Op::Add, Op::Replace, Op::ReplaceFirst}) {
                pcm_[{op, role}] = SpeechLikePcm(4000 + 320 * role,
                                                 100 + 10 * (20 + 3 * static_cast<int>(op) + role));
                wave_[{op, role}] = WriteSpeechWave(
                    config_.File(std::string(Name(op)) + std::to_string(role) + ".wav"),
                    pcm_[{op, role}]);
            }
            PrepareImport(role);
        }
    }

    // An export of the whole database with two recordings changed, in its own folder.
    void PrepareImport(int role) {
        const std::string folder = config_.File("export" + std::to_string(role));
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        list_[role] = folder + "/Filenames.csv";
        const auto doc = Open(CVoxbenchDoc::Access::ReadOnly);
        ASSERT_TRUE(ExportFragmentRange(*doc, 0, doc->GetFragCount(), list_[role]).listWritten);
        int seed = 40 + 2 * role;
        for (const FragVoice pair : ImportTargets(role)) {
            const Bytes pcm = SpeechLikePcm(4800, 100 + 10 * (seed++));
            importPcm_.push_back({pair, pcm});
            WriteSpeechWave(folder + "/" + std::to_string(pair.fragment) + "-" +
                                std::to_string(pair.voice) + ".wav",
                            pcm);
        }
    }

    std::vector<std::string> Args(Op op, int role) {
        const auto pair = op == Op::Add            ? AddTarget(role)
                          : op == Op::ReplaceFirst ? FragVoice{0, 0}
                                                   : ReplaceTarget(role);
        const std::string f = std::to_string(pair.fragment);
        const std::string v = std::to_string(pair.voice);
        switch (op) {
            case Op::Add:
                return {"add", talk_, f, v, wave_[{op, role}]};
            case Op::Replace:
            case Op::ReplaceFirst:
                return {"replace", talk_, f, v, wave_[{op, role}]};
            case Op::Compact:
                return {"compact", talk_};
            case Op::Import:
                return {"import", talk_, list_[role]};
        }
        return {};
    }

    // What voxtool does for the command, through the same library calls, in this process.
    bool RunHere(Op op) {
        if (op == Op::Compact) {
            CompactResult result;
            return CompactTalkFile(talk_, result);
        }
        ScriptedPrompter prompter;
        const auto doc = Open(CVoxbenchDoc::Access::ReadWrite);
        if (!doc->IsTalkFileOpen()) return false;
        doc->SetPrompter(&prompter);
        if (op == Op::Import) {
            const ImportResult result = ImportExportList(*doc, list_[0]);
            return result.error.empty() && result.refused.empty() && result.replaced == 2;
        }
        prompter.AnswerFile(wave_[{op, 0}]);
        prompter.AnswerPreview(true);
        if (op != Op::Add) {
            const FragVoice pair = op == Op::Replace ? ReplaceTarget(0) : FragVoice{0, 0};
            return ReplaceWithWave(*doc, pair.fragment, pair.voice);
        }
        int voice = AddTarget(0).voice;
        prompter.AnswerNumbers(std::vector<long long>{voice});
        return AddFromWave(*doc, AddTarget(0).fragment, voice) &&
               WriteFileSafely(dir_.File("fragFile.bin"), doc->GetFragTable().SaveBytes());
    }

    // Whether the command's change is in the database.
    void ExpectEffect(Op op, int role) {
        SCOPED_TRACE(std::string(Name(op)) + " as writer " + std::to_string(role + 1));
        switch (op) {
            case Op::Add:
                EXPECT_EQ(EntryOf(AddTarget(role)), CodedPcm(pcm_[{op, role}]));
                break;
            case Op::Replace:
                EXPECT_EQ(EntryOf(ReplaceTarget(role)), CodedPcm(pcm_[{op, role}]));
                break;
            case Op::ReplaceFirst:
                EXPECT_EQ(EntryOf({0, 0}), CodedPcm(pcm_[{op, role}]));
                break;
            case Op::Import:
                for (const auto& [pair, pcm] : importPcm_) {
                    if (pair.fragment == ImportTargets(role)[0].fragment) {
                        EXPECT_EQ(EntryOf(pair), CodedPcm(pcm));
                    }
                }
                break;
            case Op::Compact:
                break;  // nothing of its own to lose; verify sees the rest
        }
    }

    std::map<std::pair<Op, int>, Bytes> pcm_;
    std::map<std::pair<Op, int>, std::string> wave_;
    std::string list_[2];
    std::vector<std::pair<FragVoice, Bytes>> importPcm_;
};

TEST_P(TwoWriters, NeitherLosesTheOthersChangeNorLeavesADamagedDatabase) {
    const Op first = std::get<0>(GetParam());
    const Op second = std::get<1>(GetParam());
    int secondStatus = -1;
    std::string secondErr;
    faults::ArmAction(
        "flush", [&] { secondStatus = RunToEnd(Args(second, 1), config_.Path(), &secondErr); });
    const bool firstDone = RunHere(first);
    faults::DisarmAll();
    ASSERT_NE(secondStatus, -1) << "the first writer never reached its flush";
    EXPECT_TRUE(firstDone);
    EXPECT_EQ(VerifyProblems(), 0u);
    if (firstDone) ExpectEffect(first, 0);
    if (secondStatus == 0) {
        ExpectEffect(second, 1);
    } else {
        EXPECT_NE(secondErr.find(kRefusal), std::string::npos) << secondErr;
    }
}

const Op kOps[] = {Op::Add, Op::Replace, Op::ReplaceFirst, Op::Compact, Op::Import};
INSTANTIATE_TEST_SUITE_P(EveryPair, TwoWriters,
                         ::testing::Combine(::testing::ValuesIn(kOps), ::testing::ValuesIn(kOps)),
                         [](const auto& info) {
                             return std::string(Name(std::get<0>(info.param))) + "_then_" +
                                    Name(std::get<1>(info.param));
                         });

// A reader maps the talk file once; another program's replace then points a slot past the end
// it mapped. Readers map again before they call an entry missing.
class ReaderDuringReplaces : public Database {
  protected:
    // Replaces the next recording on every call, as a stream of replaces would.
    void ReplaceNext() {
        // Fragments 1 to 14 and their voices: 29 recordings, slot 0 left out.
        int fragment = 1;
        int index = next_ % 29;
        while (index > fragment % 3) index -= fragment++ % 3 + 1;
        const FragVoice pair{fragment, index};
        const Bytes pcm = SpeechLikePcm(3200, 100 + 10 * (60 + next_++));
        std::unique_ptr<uint8_t[]> coded;
        uint32_t length = 0;
        ASSERT_TRUE(writer_->EncodeSound(pcm.data(), 3200, coded, length));
        const Status replaced =
            writer_->ReplaceFragment(pair.fragment, pair.voice, coded.get(), length, 3200);
        ASSERT_TRUE(replaced) << replaced.error;
    }

    std::unique_ptr<CVoxbenchDoc> writer_;
    int next_ = 0;
};

TEST_F(ReaderDuringReplaces, ExportWritesEveryRecordingAndVerifyFindsNothing) {
    const auto reader = Open(CVoxbenchDoc::Access::ReadOnly);
    writer_ = Open(CVoxbenchDoc::Access::ReadWrite);
    ASSERT_TRUE(writer_->IsTalkFileOpen());
    const auto step = [&](uint64_t, uint64_t) {
        ReplaceNext();
        return true;
    };
    const ExportResult result =
        ExportFragmentRange(*reader, 0, reader->GetFragCount(), config_.File("list.csv"), step);
    EXPECT_TRUE(result.unreadablePairs.empty());
    EXPECT_TRUE(result.undecodablePairs.empty());
    EXPECT_EQ(result.saved, 30);

    SpeechCodec codec;
    ASSERT_TRUE(codec.Init());
    const VerifyReport report =
        VerifyDatabaseFiles(talk_, MakeEntryDecodeCheck(codec), [&](uint64_t, uint64_t) {
            ReplaceNext();
            return true;
        });
    for (const VerifyFinding& finding : report.findings) ADD_FAILURE() << finding.Text();
    EXPECT_GT(next_, 40);
}

// Where a wave goes: a device or FIFO is written in place, a link is written through and stays
// a link. Before, a rename made /dev/null a regular file and cut a FIFO's reader off.
class OutputTarget : public Database {};

TEST_F(OutputTarget, ADeviceAFifoAndLinksGetTheWaveWhereTheyPoint) {
    std::string err;
    const std::string plain = config_.File("plain.wav");
    ASSERT_EQ(RunToEnd({"wav", talk_, "1", "0", plain}, config_.Path(), &err), 0) << err;
    const Bytes wave = ReadFileBytes(plain);

    ASSERT_EQ(RunToEnd({"wav", talk_, "1", "0", "/dev/null"}, config_.Path(), &err), 0) << err;
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    const std::string fifo = config_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Bytes heard;
    std::thread listener([&] { heard = ReadFileBytes(fifo); });
    EXPECT_EQ(RunToEnd({"wav", talk_, "1", "0", fifo}, config_.Path(), &err), 0) << err;
    listener.join();
    EXPECT_EQ(heard, wave);

    TempDir elsewhere;
    const std::string link = config_.File("link.wav");
    const std::string dangling = config_.File("dangling.wav");
    ASSERT_EQ(symlink(elsewhere.File("real.wav").c_str(), link.c_str()), 0);
    WriteFileBytes(elsewhere.File("real.wav"), {1, 2, 3});
    ASSERT_EQ(symlink(elsewhere.File("new.wav").c_str(), dangling.c_str()), 0);
    for (const std::string& target : {link, dangling}) {
        EXPECT_EQ(RunToEnd({"wav", talk_, "1", "0", target}, config_.Path(), &err), 0) << err;
        ASSERT_EQ(lstat(target.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << target;
    }
    EXPECT_EQ(ReadFileBytes(elsewhere.File("real.wav")), wave);
    EXPECT_EQ(ReadFileBytes(elsewhere.File("new.wav")), wave);

    std::string out;
    EXPECT_EQ(RunToEnd({"wav", talk_, "1", "0", "-"}, config_.Path(), &err, &out), 0) << err;
    EXPECT_EQ(Bytes(out.begin(), out.end()), wave);
}

// A talk file reached through a link is rewritten where the link points: every writing command
// keeps the link a link.
TEST_F(OutputTarget, ALinkedTalkFileStaysALinkThroughEveryWrite) {
    TempDir links;
    const std::string link = links.File("speech.vox");
    ASSERT_EQ(symlink(talk_.c_str(), link.c_str()), 0);
    for (const char* table : {"fragFile.bin", "evalFile.bin", "commFile.bin"}) {
        ASSERT_EQ(symlink(dir_.File(table).c_str(), links.File(table).c_str()), 0);
    }
    const std::string wave = WriteSpeechWave(config_.File("take.wav"), SpeechLikePcm(3200, 150));
    const std::vector<std::vector<std::string>> commands = {{"add", link, "4", "9", wave},
                                                            {"replace", link, "0", "0", wave},
                                                            {"replace", link, "1", "0", wave},
                                                            {"compact", link}};
    for (const std::vector<std::string>& command : commands) {
        std::string err;
        EXPECT_EQ(RunToEnd(command, config_.Path(), &err), 0) << command[1] << ": " << err;
        for (const std::string name : {"speech.vox", "fragFile.bin"}) {
            struct stat info {};
            ASSERT_EQ(lstat(links.File(name).c_str(), &info), 0);
            EXPECT_TRUE(S_ISLNK(info.st_mode)) << name << " after " << command[0];
        }
    }
    EXPECT_EQ(EntryOf({4, 9}), EntryOf({1, 0}));
    EXPECT_EQ(VerifyProblems(), 0u);
}

// Inputs that are not regular files, and files the user marked read-only, are refused before
// anything is written.
struct Refusal {
    const char* name;
    std::vector<std::string> args;  // "TALK", "FIFO" and "WAVE" stand for the test's files
    const char* readOnly;           // a database file made 0444 first, or ""
    const char* message;            // a part of what stderr says
};

class RefusedWrite : public Database, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedWrite, SaysWhyAndChangesNothing) {
    const std::string fifo = config_.File("take.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string wave = WriteSpeechWave(config_.File("real.wav"), SpeechLikePcm(3200, 150));
    if (GetParam().readOnly[0] != '\0') {
        ASSERT_EQ(chmod(dir_.File(GetParam().readOnly).c_str(), 0444), 0);
    }
    const FolderSnapshot before = SnapshotFolder(dir_.Path());
    std::vector<std::string> args;
    for (const std::string& word : GetParam().args) {
        args.push_back(word == "TALK"   ? talk_
                       : word == "FIFO" ? fifo
                       : word == "WAVE" ? wave
                                        : word);
    }
    std::string err;
    EXPECT_EQ(RunToEnd(args, config_.Path(), &err), 1);
    EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
    EXPECT_TRUE(SnapshotFolder(dir_.Path()) == before);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedWrite,
                         ::testing::Values(Refusal{"replace_from_fifo",
                                                   {"replace", "TALK", "1", "0", "FIFO"},
                                                   "",
                                                   "take.wav: not a regular file"},
                                           Refusal{"add_from_fifo",
                                                   {"add", "TALK", "4", "9", "FIFO"},
                                                   "",
                                                   "take.wav: not a regular file"},
                                           Refusal{"compact_read_only_talk",
                                                   {"compact", "TALK"},
                                                   "speech.vox",
                                                   "speech.vox: Permission denied"},
                                           Refusal{"replace_read_only_talk",
                                                   {"replace", "TALK", "1", "0", "WAVE"},
                                                   "speech.vox",
                                                   "speech.vox: Permission denied"},
                                           Refusal{"add_read_only_table",
                                                   {"add", "TALK", "4", "9", "WAVE"},
                                                   "fragFile.bin",
                                                   "fragFile.bin: Permission denied"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A killed table save leaves ".fragFile.bin.XXXXXX" behind; the next writer clears what matches
// that pattern and nothing else.
TEST_F(Database, TheNextWriterSweepsWhatKilledWritersLeftBehind) {
    const std::vector<std::string> leftovers = {".fragFile.bin.a1B2c3", ".evalFile.bin.ZZZZZZ",
                                                ".speech.vox.000000", "speech.vo$"};
    const std::vector<std::string> kept = {".fragFile.bin.short", "fragFile.bin.a1B2c3",
                                           ".other.bin.a1B2c3"};
    for (const std::string& name : leftovers) WriteFileBytes(dir_.File(name), {1});
    for (const std::string& name : kept) WriteFileBytes(dir_.File(name), {1});
    sleep(1);  // the leftovers are older than the lock the writer takes
    ASSERT_TRUE(Open(CVoxbenchDoc::Access::ReadWrite)->IsTalkFileOpen());
    for (const std::string& name : leftovers) EXPECT_FALSE(FileExists(dir_.File(name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(FileExists(dir_.File(name))) << name;
}

// gcc says so by a macro, clang by a feature.
bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// A talk file whose directory claims a million slots that all point outside it: before, verify
// held every finding and ran out of memory; now it lists a hundred of each kind and counts the
// rest, within a memory limit.
TEST_F(Database, VerifyOfAHugeBrokenDirectoryStaysWithinAMemoryLimit) {
    if (UnderAddressSanitizer())
        GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
    constexpr uint32_t kSlots = 1u << 20;
    Bytes talk(12 + 4 * size_t{kSlots} + 8, 0);
    WriteU32(talk.data() + 12, 12 + 4 * kSlots);  // slot 0: an empty entry right behind
    for (uint32_t slot = 1; slot < kSlots; ++slot)
        WriteU32(talk.data() + 12 + 4 * slot, 0xFFFFFF00u);
    WriteFileBytes(talk_, talk);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{256u << 20, 256u << 20};
        setrlimit(RLIMIT_AS, &limit);
        const std::string out = config_.File("out.txt");
        freopen(out.c_str(), "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "verify", talk_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "problems found, and no crash";
    std::ifstream in(config_.File("out.txt"));
    std::string line;
    std::string last;
    int lines = 0;
    bool summary = false;
    while (std::getline(in, line)) {
        ++lines;
        summary = summary || line.find(" more problems like ") != std::string::npos;
        last = line;
    }
    EXPECT_TRUE(summary);
    EXPECT_LT(lines, 400);
    EXPECT_NE(last.find(" problems found"), std::string::npos) << last;
}

}  // namespace
}  // namespace vox::test

// What the program does when the machine or another program works against it.
//
// Another program truncates a file while it is mapped: reads through the mapping past the new
// end raise SIGBUS, which must neither end the program nor let bytes that are gone be used.
// Verify reports the damage, and a voxtool command that read through it fails instead of
// passing off zeros as the database.
//
// Two writers on one database, and readers while it is written. The first writer runs in this
// process and is held inside its flush (the slowest step, where a slow disk leaves the most
// room for a second program); a second writer, a voxtool child, runs to its end meanwhile.
// Afterwards the database verifies clean and every command that reported success kept its
// effect. Before the lock was held across the rename, a replace run during an add's flush
// exited 0 and was then thrown away.
//
// A writer killed at any moment: voxtool is started on a database and killed with SIGKILL after
// a random delay, many times. Afterwards every file is its old or its new complete version and
// the database verifies clean; a half-written temporary file may stay behind, but never in a
// database file's place.
//
// Write errors and a full disk while the talk file is rewritten or grown, or fragments are
// exported: the caller is told, and every file that was there is as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/entrydecodecheck.h"
#include "audio/player/nullsounddevice.h"
#include "talkdata/compact.h"
#include "talkdata/faultinjection.h"
#include "talkdata/mappedfile.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/safefile.h"
#include "talkdata/talkhistory.h"
#include "talkdata/verify.h"
#include "talkdata/voxfile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"

extern char** environ;

namespace vox::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Starts voxtool as a child process, so that a test can kill it wherever it happens to be. Its
// settings live in configHome; its output goes to ".stdout" and ".stderr" there. -1 on failure.
pid_t StartVoxtool(const std::vector<std::string>& args, const std::string& configHome) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = configHome + "/.stdout";
    const std::string err = configHome + "/.stderr";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Only voxtool reads it; this program's own settings live in memory.
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(VOXTOOL_PATH)};
    for (const std::string& word : args) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int failed = posix_spawn(&child, VOXTOOL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

// Waits for the child's end; the exit status, or -signal when a signal ended it.
int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

// Runs voxtool to its end; the exit status as WaitFor gives it.
int RunToEnd(const std::vector<std::string>& args, const std::string& configHome,
             std::string* errorOutput = nullptr, std::string* output = nullptr) {
    const pid_t child = StartVoxtool(args, configHome);
    const int status = child > 0 ? WaitFor(child) : -1;
    if (errorOutput != nullptr) *errorOutput = ReadText(configHome + "/.stderr");
    if (output != nullptr) *output = ReadText(configHome + "/.stdout");
    return status;
}

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

// A fragment and one of its voices.
using Target = std::pair<int, int>;

const char* const kFiles[] = {"speech.vox", "fragFile.bin", "evalFile.bin", "commFile.bin"};

class Database : public ::testing::Test {
  protected:
    // The database is reached through links, as a user's may be: every writer must write where
    // the links point and leave the links links.
    void SetUp() override {
        WriteSpeechDatabase(dir_.Path(), 30, 4096);
        for (const char* name : kFiles)
            ASSERT_EQ(symlink(dir_.File(name).c_str(), links_.File(name).c_str()), 0);
        talk_ = links_.File("speech.vox");
    }

    std::unique_ptr<CVoxbenchDoc> Open(CVoxbenchDoc::Access access) {
        auto doc = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc->OnOpenDocument(talk_, access);
        return doc;
    }

    // The coded bytes behind a fragment's voice, as the database holds them now.
    Bytes EntryOf(Target target) {
        const auto doc = Open(CVoxbenchDoc::Access::ReadOnly);
        ListRecord record;
        VoxEntry entry;
        if (!doc->GetFragRecord(target.first, record) ||
            !doc->GetVoxEntry(doc->FindVoxIndex(record, target.second), entry)) {
            return {};
        }
        return Bytes(entry.data, entry.data + entry.codedSize);
    }

    void ExpectVerifiesClean() {
        std::string out;
        EXPECT_EQ(RunToEnd({"verify", talk_}, config_.Path(), nullptr, &out), 0) << out;
        for (const char* name : kFiles) {
            struct stat info {};
            EXPECT_TRUE(lstat(links_.File(name).c_str(), &info) == 0 && S_ISLNK(info.st_mode))
                << name;
        }
    }

    TempDir dir_;
    TempDir links_;
    TempDir config_;
    MemoryProfile profile_;
    std::string talk_;
};

enum Op { kAdd, kReplace, kReplaceFirst, kCompact };
const char* const kOpNames[] = {"add", "replace", "replace0", "compact"};

// Fragment f has voices 0 to f % 3 on entries of their own, so each role (0: the held first
// writer, 1: the second) changes a recording of its own; only slot 0 is shared.
Target TargetOf(Op op, int role) {
    return op == kAdd       ? Target{4 + role, 9 + role}
           : op == kReplace ? Target{1, role}
                            : Target{0, 0};
}

Bytes TakeOf(Op op, int role) {
    return SpeechLikePcm(4000 + 320 * role, 100 + 10 * (20 + 3 * op + role));
}

class TwoWriters : public Database, public ::testing::WithParamInterface<Op> {
  protected:
    // What voxtool does for the command, through the same library calls, in this process.
    bool RunHere(Op op) {
        if (op == kCompact) {
            CompactResult result;
            return CompactTalkFile(talk_, result);
        }
        const auto doc = Open(CVoxbenchDoc::Access::ReadWrite);
        const Bytes pcm = TakeOf(op, 0);
        const Bytes coded = CodedPcm(pcm);
        const auto size = static_cast<uint32_t>(coded.size());
        const auto decoded = static_cast<uint32_t>(pcm.size());
        const Target target = TargetOf(op, 0);
        if (op != kAdd)
            return doc->ReplaceFragment(target.first, target.second, coded.data(), size, decoded)
                .Ok();
        auto buffer = std::make_unique<uint8_t[]>(size);
        std::copy(coded.begin(), coded.end(), buffer.get());
        return doc->AddFragment(target.first, target.second, std::move(buffer), size, decoded)
                   .Ok() &&
               WriteFileSafely(links_.File("fragFile.bin"), doc->GetFragTable().SaveBytes());
    }

    // Whether the command's change is in the database; a compact has none of its own to lose.
    void ExpectEffect(Op op, int role) {
        if (op == kCompact) return;
        EXPECT_EQ(EntryOf(TargetOf(op, role)), CodedPcm(TakeOf(op, role))) << "writer " << role;
    }
};

// The second writer is voxtool's replace: whatever the first holds, the replace is refused while
// the lock is held, or its recording stays.
TEST_P(TwoWriters, NeitherLosesTheOthersChangeNorLeavesADamagedDatabase) {
    const Op first = GetParam();
    const std::string wave = WriteSpeechWave(config_.File("take.wav"), TakeOf(kReplace, 1));
    int secondStatus = -1;
    std::string secondErr;
    faults::ArmAction("flush", [&] {
        secondStatus = RunToEnd({"replace", talk_, "1", "1", wave}, config_.Path(), &secondErr);
    });
    EXPECT_TRUE(RunHere(first));
    faults::DisarmAll();
    ASSERT_NE(secondStatus, -1) << "the first writer never reached its flush";
    ExpectVerifiesClean();
    ExpectEffect(first, 0);
    if (secondStatus == 0) {
        ExpectEffect(kReplace, 1);
    } else {
        EXPECT_NE(secondErr.find("another program has this database open for writing"),
                  std::string::npos)
            << secondErr;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, TwoWriters,
                         ::testing::Values(kAdd, kReplace, kReplaceFirst, kCompact),
                         [](const auto& info) { return std::string(kOpNames[info.param]); });

// A reader maps the talk file once; another program's replace then points a slot past the end
// it mapped. Readers map again before they call an entry missing.
TEST_F(Database, ExportAndVerifyDuringReplacesReadEveryRecordingAndFindNothing) {
    const auto reader = Open(CVoxbenchDoc::Access::ReadOnly);
    const auto writer = Open(CVoxbenchDoc::Access::ReadWrite);
    int replaces = 0;
    const auto replaceNext = [&](uint64_t, uint64_t) {
        const Bytes coded = CodedPcm(SpeechLikePcm(3200, 100 + 10 * (60 + replaces)));
        const Status replaced = writer->ReplaceFragment(1 + replaces++ % 14, 0, coded.data(),
                                                        static_cast<uint32_t>(coded.size()), 3200);
        EXPECT_TRUE(replaced) << replaced.error;
        return true;
    };
    const ExportResult result = ExportFragmentRange(*reader, 0, reader->GetFragCount(),
                                                    config_.File("list.csv"), replaceNext);
    EXPECT_EQ(result.saved, 30) << "every recording, none skipped";

    SpeechCodec codec;
    ASSERT_TRUE(codec.Init());
    const VerifyReport report =
        VerifyDatabaseFiles(talk_, MakeEntryDecodeCheck(codec), replaceNext);
    for (const VerifyFinding& finding : report.findings) ADD_FAILURE() << finding.Text();
    EXPECT_GT(replaces, 40);
}

// Where a wave goes: a device or FIFO is written in place, a link is written through and stays
// a link. Before, a rename made /dev/null a regular file and cut a FIFO's reader off.
TEST_F(Database, ADeviceAFifoAndLinksGetTheWaveWhereTheyPoint) {
    std::string err;
    std::string wave;
    ASSERT_EQ(RunToEnd({"wav", talk_, "1", "0", "-"}, config_.Path(), &err, &wave), 0) << err;
    ASSERT_EQ(RunToEnd({"wav", talk_, "1", "0", "/dev/null"}, config_.Path(), &err), 0) << err;
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    const std::string fifo = config_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string heard;
    std::thread listener([&] { heard = ReadText(fifo); });
    EXPECT_EQ(RunToEnd({"wav", talk_, "1", "0", fifo}, config_.Path(), &err), 0) << err;
    listener.join();
    EXPECT_EQ(heard, wave);

    // A link that points at nothing yet gets the file where it points, and stays a link: the
    // links to existing files are the database's own, in every other test here.
    TempDir elsewhere;
    const std::string link = config_.File("link.wav");
    ASSERT_EQ(symlink(elsewhere.File("new.wav").c_str(), link.c_str()), 0);
    EXPECT_EQ(RunToEnd({"wav", talk_, "1", "0", link}, config_.Path(), &err), 0) << err;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadText(elsewhere.File("new.wav")), wave);
}

// Files the user marked read-only are refused before anything is written.
TEST_F(Database, AWriteToAReadOnlyFileSaysWhyAndChangesNothing) {
    const std::string wave = WriteSpeechWave(config_.File("take.wav"), SpeechLikePcm(3200, 150));
    const struct {
        Args args;
        const char* readOnly;
    } refusals[] = {{{"compact", talk_}, "speech.vox"},
                    {{"replace", talk_, "1", "0", wave}, "speech.vox"},
                    {{"add", talk_, "4", "9", wave}, "fragFile.bin"}};
    for (const auto& [args, readOnly] : refusals) {
        ASSERT_EQ(chmod(dir_.File(readOnly).c_str(), 0444), 0);
        const FolderSnapshot before = SnapshotFolder(dir_.Path());
        std::string err;
        EXPECT_EQ(RunToEnd(args, config_.Path(), &err), 1);
        EXPECT_NE(err.find(std::string(readOnly) + ": Permission denied"), std::string::npos)
            << err;
        EXPECT_EQ(SnapshotFolder(dir_.Path()), before);
        chmod(dir_.File(readOnly).c_str(), 0644);
    }
}

// A killed table save leaves ".fragFile.bin.XXXXXX" behind; the next writer clears what matches
// that pattern and nothing else.
TEST_F(Database, TheNextWriterSweepsWhatKilledWritersLeftBehind) {
    const std::vector<std::string> leftovers = {".fragFile.bin.a1B2c3", ".evalFile.bin.ZZZZZZ",
                                                ".speech.vox.000000", "speech.vo$"};
    const std::vector<std::string> kept = {".fragFile.bin.short", "fragFile.bin.a1B2c3",
                                           ".other.bin.a1B2c3"};
    talk_ = dir_.File("speech.vox");  // the tables' leftovers are looked for beside the name
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
    // The limit applies to voxtool alone, not to this test.
    const std::string out = config_.File("out.txt");
    const int status = std::system(
        ("ulimit -v 262144 && " VOXTOOL_PATH " verify " + talk_ + " >" + out + " 2>/dev/null")
            .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "problems found, and no crash";
    const std::string text = ReadText(out);
    EXPECT_NE(text.find(" more problems like "), std::string::npos);
    EXPECT_LT(std::count(text.begin(), text.end(), '\n'), 400);
    EXPECT_TRUE(text.ends_with(" problems found\n")) << text;
}

// Bounds that keep the whole file of kill tests well inside CI's two minutes.
constexpr int kKills = 24;
constexpr auto kTimeBudget = std::chrono::seconds(10);
constexpr int kEntries = 120;
// Old recordings behind the entries: a rewrite of the talk file then takes long enough for
// many kills to land in the middle of it.
constexpr uint32_t kExtraBytes = 16u << 20;

// The entry of a slot, as the bytes of its block (sizes and coded bytes); empty when none.
Bytes SlotEntry(const Bytes& talk, int voxIndex) {
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
class KilledWriter : public Database, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        WriteSpeechDatabase(orig_.Path(), kEntries, kExtraBytes);
        old_ = SnapshotFolder(orig_.Path());
        talk_ = dir_.File("speech.vox");
        Restore();
    }
    void Restore() {
        fs::remove_all(dir_.Path());
        fs::copy(orig_.Path(), dir_.Path());
    }

    Args ArgsOf(const std::string& command) {
        const std::string wave =
            WriteSpeechWave(exported_.File("new.wav"), SpeechLikePcm(16000, 190));
        if (command == "add") return {"add", talk_, "3", "7", wave};
        if (command == "replace") return {"replace", talk_, "1", "1", wave};
        if (command == "compact") return {"compact", talk_};
        const std::string list = exported_.File("Filenames.csv");
        EXPECT_EQ(RunToEnd({"export", talk_, "--list", list, "--to", "24"}, config_.Path()), 0);
        // Every third recording changes; the others are re-installed as they are.
        const std::vector<std::string> names = ListFolder(exported_.Path());
        for (size_t i = 0; i < names.size(); i += 3) {
            if (names[i].ends_with(".wav"))
                WriteSpeechWave(exported_.File(names[i]),
                                SpeechLikePcm(6400 + 320 * (i % 9), 100 + 10 * i));
        }
        return {"import", talk_, list};
    }

    void ExpectOldOrNew() {
        ASSERT_TRUE(Open(CVoxbenchDoc::Access::ReadWrite)->IsTalkFileOpen());
        const FolderSnapshot now = SnapshotFolder(dir_.Path());
        int changed = 0;
        int slotsNew = 0;
        for (int voxIndex = 0; voxIndex <= kEntries; ++voxIndex) {
            const Bytes entry = SlotEntry(now.at("speech.vox"), voxIndex);
            const Bytes was = SlotEntry(old_.at("speech.vox"), voxIndex);
            const Bytes will = SlotEntry(fresh_.at("speech.vox"), voxIndex);
            EXPECT_TRUE(entry == was || entry == will) << "slot " << voxIndex << " names neither";
            changed += was != will ? 1 : 0;
            slotsNew += was != will && entry == will ? 1 : 0;
        }
        const bool talkDone = slotsNew == changed;
        EXPECT_TRUE(slotsNew == 0 || talkDone) << slotsNew << " of " << changed << " slots are new";
        for (const char* table : {"fragFile.bin", "evalFile.bin", "commFile.bin"}) {
            EXPECT_TRUE(now.at(table) == old_.at(table) ||
                        (now.at(table) == fresh_.at(table) && talkDone))
                << table;
        }
        History history;
        ASSERT_TRUE(ReadHistory(talk_, history));
        EXPECT_TRUE(history.bad.empty());
        EXPECT_TRUE(history.lines.empty() || talkDone) << "a history line is ahead of its slots";
        std::string err;
        EXPECT_EQ(RunToEnd({"verify", talk_}, config_.Path(), &err), 0) << err;
    }

    TempDir orig_;
    TempDir exported_;
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
    ASSERT_EQ(RunToEnd(args, config_.Path(), &err), 0) << err;
    const auto usual = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    fresh_ = SnapshotFolder(dir_.Path());
    ASSERT_NE(fresh_.at("speech.vox"), old_.at("speech.vox"));

    std::mt19937_64 random(std::random_device{}());
    std::uniform_int_distribution<int64_t> delay(0, usual.count() * 11 / 10);
    const auto deadline = Clock::now() + kTimeBudget;
    for (int round = 0; round < kKills && Clock::now() < deadline && !HasFailure(); ++round) {
        Restore();
        const pid_t child = StartVoxtool(args, config_.Path());
        ASSERT_GT(child, 0);
        const int64_t after = delay(random);
        std::this_thread::sleep_for(std::chrono::microseconds(after));
        kill(child, SIGKILL);
        SCOPED_TRACE("killed after " + std::to_string(after) + " us, status " +
                     std::to_string(WaitFor(child)));
        ExpectOldOrNew();
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, KilledWriter,
                         ::testing::Values("add", "compact", "replace", "import"));

constexpr int kErrorEntries = 40;
// Old recordings behind the entries, so that a rewrite of the talk file takes many writes.
constexpr uint32_t kErrorExtraBytes = 600 * 1024;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

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

// The database of its own, without links: a larger talk file, open in a document; the
// parameter names the fault point.
class SafeWriteFault : public Database, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        talk_ = WriteSpeechDatabase(dir_.Path(), kErrorEntries, kErrorExtraBytes);
        ASSERT_TRUE(doc_.OnOpenDocument(talk_)) << doc_.GetOpenError();
        before_ = SnapshotFolder(dir_.Path());
    }
    void TearDown() override { faults::DisarmAll(); }

    // Every file as it was, nothing added (no temporary file left behind); the document still
    // decodes the last entry of its talk file, so it has the whole file open again.
    void ExpectNothingChanged() {
        EXPECT_EQ(SnapshotFolder(dir_.Path()), before_);
        VoxEntry entry;
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        EXPECT_TRUE(doc_.GetVoxEntry(kErrorEntries - 1, entry) &&
                    doc_.DecodeEntry(entry, pcm, pcmLen));
    }

    CVoxbenchDoc doc_{profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>())};
    FolderSnapshot before_;
};

// A replace of the first entry rewrites the talk file; an add rewrites it with a new slot.
TEST_P(SafeWriteFault, ARewriteOfTheTalkFileLandsWholeOrNotAtAll) {
    const Bytes coded = CodedPcm(SpeechLikePcm(6400, 170));
    for (const bool add : {true, false}) {
        const int fragments = doc_.GetFragCount();
        const bool modified = doc_.IsModified();
        std::string why;
        const auto run = [&] {
            auto buffer = std::make_unique<uint8_t[]>(coded.size());
            std::copy(coded.begin(), coded.end(), buffer.get());
            why = add ? doc_.AddFragment(fragments, 0, std::move(buffer), coded.size(), 6400).error
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

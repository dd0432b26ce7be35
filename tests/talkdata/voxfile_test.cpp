#include "talkdata/voxfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "talkdata/faultinjection.h"
#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

// A talk file with three slots; slot 1 is absent.
const Bytes kTalk = {
    'V',  'X',  'H',  'D',  0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00,  // header (12 bytes)
    24,   0,    0,    0,     // slot 0 -> 24: the directory ends there
    0,    0,    0,    0,     // slot 1: absent
    36,   0,    0,    0,     // slot 2 -> 36
    100,  0,    0,    0,     // 24: entry 0 decodedSize 100
    4,    0,    0,    0,     //     codedSize 4
    0xAA, 0xBB, 0xCC, 0xDD,  //     coded bytes
    200,  0,    0,    0,     // 36: entry 2 decodedSize 200
    2,    0,    0,    0,     //     codedSize 2
    0x11, 0x22,              //     coded bytes; file size 46
};

// Collects what a rewrite produces; can be told to fail.
class BufferSink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        ++calls;
        if (failAt == calls) return false;
        const auto* bytes = static_cast<const uint8_t*>(data);
        written.insert(written.end(), bytes, bytes + size);
        return true;
    }
    Bytes written;
    int calls = 0;
    int failAt = -1;
};

Bytes EntryBytes(const VoxEntry& entry) { return Bytes(entry.data, entry.data + entry.codedSize); }

TEST(VoxFileLookup, FindsPresentEntries) {
    VoxEntry entry;
    ASSERT_TRUE(VoxFile::GetVoxEntry(kTalk, 0, entry));
    EXPECT_EQ(entry.decodedSize, 100u);
    EXPECT_EQ(entry.codedSize, 4u);
    EXPECT_EQ(entry.data, kTalk.data() + 32);
    ASSERT_TRUE(VoxFile::GetVoxEntry(kTalk, 2, entry));
    EXPECT_EQ(entry.decodedSize, 200u);
    EXPECT_EQ(EntryBytes(entry), (Bytes{0x11, 0x22}));
}

TEST(VoxFileLookup, AbsentNegativeAndOutOfFileSlotsGiveNoEntry) {
    VoxEntry entry;
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, 1, entry));  // slot holds 0
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, -1, entry));
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, 8, entry));  // slot at 44: only 2 bytes left
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, 9, entry));  // slot at 48: beyond the end
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, 0x7FFFFFFF, entry));
    EXPECT_FALSE(VoxFile::GetVoxEntry(ByteSpan(), 0, entry));
}

TEST(VoxFileLookup, IndexBeyondTheDirectoryReadsWhateverLiesThere) {
    VoxEntry entry;
    // Slot 3 is entry 0's decodedSize (100): beyond the end of the file.
    EXPECT_FALSE(VoxFile::GetVoxEntry(kTalk, 3, entry));
    // Slot 4 is entry 0's codedSize (4): an "entry" at 4 inside the header, 0 coded bytes.
    ASSERT_TRUE(VoxFile::GetVoxEntry(kTalk, 4, entry));
    EXPECT_EQ(entry.decodedSize, 0x04030201u);
    EXPECT_EQ(entry.codedSize, 0u);
    EXPECT_EQ(entry.data, kTalk.data() + 12);
}

TEST(VoxFileLookup, EntryThatRunsPastTheEndGivesNoEntry) {
    Bytes talk = kTalk;
    talk[40] = 3;  // entry 2 claims 3 coded bytes, 2 are there
    VoxEntry entry;
    EXPECT_FALSE(VoxFile::GetVoxEntry(talk, 2, entry));
    talk[40] = 2;
    talk[20] = 40;  // entry 2 at 40: its 8 size bytes do not fit
    EXPECT_FALSE(VoxFile::GetVoxEntry(talk, 2, entry));
    talk[20] = talk[21] = talk[22] = talk[23] = 0xFF;  // offset 0xFFFFFFFF must not wrap
    EXPECT_FALSE(VoxFile::GetVoxEntry(talk, 2, entry));
    talk.pop_back();  // entry 0 still whole
    EXPECT_TRUE(VoxFile::GetVoxEntry(talk, 0, entry));
}

Bytes TalkWithSlotZero(uint32_t slot0, size_t size = 16) {
    Bytes talk(size, 0);
    WriteU32(talk.data() + 12, slot0);
    return talk;
}

TEST(VoxFileDirectory, SlotCountRoundsAPartialWordUp) {
    EXPECT_EQ(VoxFile::SlotCount(kTalk), 3u);
    EXPECT_EQ(VoxFile::SlotCount(Bytes(15, 0x40)), 0u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(0)), 0u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(12)), 0u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(13)), 1u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(16)), 1u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(17)), 2u);
    EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(0xFFFFFFFF)), 1073741821u);
}

TEST(VoxFileDirectory, WellFormedOnlyWhenSlotZeroIsAWordBoundaryInsideTheFile) {
    std::string why;
    EXPECT_TRUE(VoxFile::HasWellFormedDirectory(kTalk, &why));
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(Bytes(15, 0), &why));
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(12, 40), &why));
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(18, 40), &why));
    EXPECT_NE(why.find("not 12 plus a multiple of 4"), std::string::npos) << why;
    EXPECT_TRUE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(16, 17)));
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(20, 20), &why));
    EXPECT_EQ(why, "slot 0 (20) lies beyond the end of the talk file (20 bytes)");
}

class VoxFileReplace : public ::testing::Test {
  protected:
    void SetUp() override { WriteFileBytes(path_, kTalk); }
    void TearDown() override { faults::DisarmAll(); }

    test::TempDir folder_;
    const std::string path_ = folder_.File("talk.vox");
    const uint8_t coded_[3] = {1, 2, 3};
};

TEST_F(VoxFileReplace, AppendsOneBlockAndRepointsTheSlot) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    std::string why;
    ASSERT_TRUE(VoxFile::ReplaceEntry(file, 2, coded_, 3, 300, &why)) << why;
    file.Close();

    Bytes expected = kTalk;
    expected[20] = 46;  // slot 2 -> the appended block
    expected.insert(expected.end(), {
                                        44, 1, 0, 0,  // decodedSize 300
                                        3, 0, 0, 0,   // codedSize 3
                                        1, 2, 3,      // coded bytes
                                    });
    EXPECT_EQ(ReadFileBytes(path_), expected);
}

TEST_F(VoxFileReplace, RepointsAnAbsentSlotToo) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    ASSERT_TRUE(VoxFile::ReplaceEntry(file, 1, coded_, 3, 300));
    VoxEntry entry;
    ASSERT_TRUE(VoxFile::GetVoxEntry(file.Bytes(), 1, entry));
    EXPECT_EQ(entry.decodedSize, 300u);
    EXPECT_EQ(EntryBytes(entry), (Bytes{1, 2, 3}));
}

TEST_F(VoxFileReplace, RefusesSlotZeroAndSlotsOutsideTheDirectory) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    for (int voxIndex : {0, -1, 3, 4, 1000}) {
        std::string why;
        EXPECT_FALSE(VoxFile::ReplaceEntry(file, voxIndex, coded_, 3, 300, &why)) << voxIndex;
        EXPECT_FALSE(why.empty());
    }
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_), kTalk);
}

TEST_F(VoxFileReplace, RefusesASlotThatReachesIntoEntryZero) {
    Bytes talk = kTalk;
    talk[12] = 22;  // slot 0 -> 22: slot 2 (20..23) overlaps the first entry
    WriteFileBytes(path_, talk);
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    EXPECT_EQ(VoxFile::SlotCount(file.Bytes()), 3u);
    EXPECT_FALSE(VoxFile::ReplaceEntry(file, 2, coded_, 3, 300));
    EXPECT_TRUE(VoxFile::ReplaceEntry(file, 1, coded_, 3, 300));
}

TEST_F(VoxFileReplace, FailedAppendLeavesTheFileAsItWas) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    faults::Arm("mappedfile.append");
    std::string why;
    EXPECT_FALSE(VoxFile::ReplaceEntry(file, 2, coded_, 3, 300, &why));
    EXPECT_EQ(why, "No space left on device");
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_), kTalk);
}

TEST_F(VoxFileReplace, ReadOnlyFileIsNotChanged) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 0));
    EXPECT_FALSE(VoxFile::ReplaceEntry(file, 2, coded_, 3, 300));
    MappedFile closed;
    EXPECT_FALSE(VoxFile::ReplaceEntry(closed, 2, coded_, 3, 300));
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_), kTalk);
}

// Slot 0 marks the directory's end, so its new entry goes right behind the directory and every
// other entry moves; other slots of the same batch get entries at the end of the new file.
TEST(VoxFileNewFirstEntry, InsertsBehindTheDirectoryAndAppendsTheRestOfTheBatch) {
    const uint8_t first[2] = {7, 8};
    const uint8_t other[1] = {9};
    BufferSink out;
    ASSERT_TRUE(
        VoxFile::WriteWithNewFirstEntry(kTalk, {0, 50, first, 2}, {{2, 60, other, 1}}, out));
    Bytes expected(kTalk.begin(), kTalk.begin() + 12);
    expected.insert(expected.end(),
                    {
                        24, 0, 0, 0,  // slot 0 -> 24, as before: the new entry
                        0,  0, 0, 0,  // slot 1: absent, stays absent
                        56, 0, 0, 0,  // slot 2 -> 56: its new entry, behind the old bytes
                        50, 0, 0, 0,  // 24: new entry 0 decodedSize 50
                        2,  0, 0, 0,  //     codedSize 2
                        7,  8,        //     coded bytes
                    });
    expected.insert(expected.end(), kTalk.begin() + 24, kTalk.end());  // old entries at 34..55
    expected.insert(expected.end(), {
                                        60, 0, 0, 0,  // 56: entry 2 decodedSize 60
                                        1, 0, 0, 0,   //     codedSize 1
                                        9,            //     coded byte; file size 65
                                    });
    EXPECT_EQ(out.written, expected);
    std::string why;
    EXPECT_FALSE(
        VoxFile::WriteWithNewFirstEntry(kTalk, {0, 50, first, 2}, {{5, 1, other, 1}}, out, &why));
    EXPECT_EQ(why, "voxIndex 5 is not a slot that can be replaced in place");
}

// Slot 0 re-pointed at an entry already in the file (an undo, a revert): the entry moves behind
// the directory, what lay in front of it moves back by its size, the file keeps its size.
TEST(VoxFileEntryFirst, MovesTheEntryToTheFrontAndTheSlotsWithTheirEntries) {
    Bytes talk = kTalk;
    talk.insert(talk.end(), {50, 0, 0, 0, 1, 0, 0, 0, 0x77});  // 46: an earlier take
    BufferSink out;
    std::string why;
    ASSERT_TRUE(VoxFile::WriteWithEntryFirst(talk, 46, out, &why)) << why;
    Bytes expected(kTalk.begin(), kTalk.begin() + 12);
    expected.insert(expected.end(), {
                                        24, 0, 0, 0,  // slot 0 -> 24: the moved entry
                                        0, 0, 0, 0,   // slot 1: absent, stays absent
                                        45, 0, 0, 0,  // slot 2: 36 + 9
                                    });
    expected.insert(expected.end(), talk.begin() + 46, talk.end());
    expected.insert(expected.end(), kTalk.begin() + 24, kTalk.end());
    EXPECT_EQ(out.written, expected);
    const OffsetMap moved = OffsetMap::EntryToFront(24, 46, 9);
    EXPECT_EQ(moved(46), 24u);
    EXPECT_EQ(moved(24), 33u);
    EXPECT_EQ(moved(55), 55u);
    EXPECT_EQ(moved(16), 16u);
    EXPECT_EQ(OffsetMap::ShiftFrom(24, 8)(0xFFFFFFFCu), 0xFFFFFFFCu);  // would wrap: stays

    const struct {
        uint32_t entry;
        const char* why;
    } refused[] = {
        {24, "the entry is the first one already"},
        {16, "byte 16 lies inside the directory"},
        {50, "no whole entry begins at byte 50"},
    };
    for (const auto& c : refused) {
        BufferSink none;
        EXPECT_FALSE(VoxFile::WriteWithEntryFirst(talk, c.entry, none, &why));
        EXPECT_EQ(why, c.why);
        EXPECT_TRUE(none.written.empty()) << c.why;
    }
}

TEST(VoxFileNewSlot, RewritesWithEveryOffsetMovedByFour) {
    const uint8_t coded[] = {1, 2, 3};
    BufferSink sink;
    int newVoxIndex = -1;
    std::string why;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(kTalk, coded, 3, 300, sink, newVoxIndex, &why)) << why;
    EXPECT_EQ(newVoxIndex, 3);
    const Bytes expected = {
        'V', 'X', 'H', 'D', 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00,  // header unchanged
        28,  0,   0,   0,                                                    // slot 0: 24 + 4
        0,   0,   0,   0,                                                    // slot 1 stays absent
        40,  0,   0,   0,                                                    // slot 2: 36 + 4
        50,  0,   0,   0,  // slot 3 (new): old size 46 + 4
        100, 0,   0,   0,   4,    0,    0,    0,    0xAA, 0xBB, 0xCC, 0xDD,  // entry 0, unchanged
        200, 0,   0,   0,   2,    0,    0,    0,    0x11, 0x22,              // entry 2, unchanged
        44,  1,   0,   0,  // new entry: decodedSize 300
        3,   0,   0,   0,  //            codedSize 3
        1,   2,   3,       //            coded bytes
    };
    EXPECT_EQ(sink.written, expected);

    VoxEntry entry;
    ASSERT_TRUE(VoxFile::GetVoxEntry(sink.written, 3, entry));
    EXPECT_EQ(EntryBytes(entry), (Bytes{1, 2, 3}));
    ASSERT_TRUE(VoxFile::GetVoxEntry(sink.written, 0, entry));
    EXPECT_EQ(EntryBytes(entry), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));
}

TEST(VoxFileNewSlot, EmptyRecordingAndOutOfFileSlotValues) {
    Bytes talk = {
        'h',  'e',  'a',  'd',  'e', 'r', '-', '-', '-', '-', '-', '-',  // header
        20,   0,    0,    0,                                             // slot 0 -> 20
        0xFE, 0xFF, 0xFF, 0xFF,  // slot 1: far outside any file; must not wrap into the header
        5,    0,    0,    0,    0,   0,   0,   0,  // entry 0: decodedSize 5, codedSize 0
    };
    BufferSink sink;
    int newVoxIndex = -1;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(talk, nullptr, 0, 7, sink, newVoxIndex));
    EXPECT_EQ(newVoxIndex, 2);
    const Bytes expected = {
        'h',  'e',  'a',  'd',  'e', 'r', '-', '-',
        '-',  '-',  '-',  '-',  24,  0,   0,   0,  // slot 0: 20 + 4
        0xFE, 0xFF, 0xFF, 0xFF,                    // slot 1 unchanged
        32,   0,    0,    0,                       // slot 2: old size 28 + 4
        5,    0,    0,    0,    0,   0,   0,   0,  // entry 0
        7,    0,    0,    0,    0,   0,   0,   0,  // new entry: decodedSize 7, codedSize 0
    };
    EXPECT_EQ(sink.written, expected);
}

TEST(VoxFileNewSlot, RefusedBeforeWritingForABadDirectory) {
    const uint8_t coded[] = {1};
    for (const Bytes& talk : {TalkWithSlotZero(18, 40), TalkWithSlotZero(40, 40), Bytes(12, 0)}) {
        BufferSink sink;
        int newVoxIndex = -1;
        std::string why;
        EXPECT_FALSE(VoxFile::WriteWithNewSlot(talk, coded, 1, 2, sink, newVoxIndex, &why));
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(sink.calls, 0);
        EXPECT_EQ(newVoxIndex, -1);
    }
}

TEST(VoxFileNewSlot, NewVoxIndexMustFitSixteenBits) {
    const uint8_t coded[] = {1};
    // 32767 slots: the new one gets voxIndex 32767, the largest a fragment can hold.
    Bytes talk = TalkWithSlotZero(12 + 4 * 32767, 12 + 4 * 32767 + 8);
    BufferSink sink;
    int newVoxIndex = -1;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(talk, coded, 1, 2, sink, newVoxIndex));
    EXPECT_EQ(newVoxIndex, 32767);

    talk = TalkWithSlotZero(12 + 4 * 32768, 12 + 4 * 32768 + 8);
    BufferSink refused;
    std::string why;
    EXPECT_FALSE(VoxFile::WriteWithNewSlot(talk, coded, 1, 2, refused, newVoxIndex, &why));
    EXPECT_EQ(refused.calls, 0);
    EXPECT_NE(why.find("32768"), std::string::npos) << why;
}

TEST(VoxFileNewSlot, FailingSinkIsReported) {
    const uint8_t coded[] = {1, 2, 3};
    for (int failAt = 1; failAt <= 4; ++failAt) {
        BufferSink sink;
        sink.failAt = failAt;
        int newVoxIndex = -1;
        std::string why;
        EXPECT_FALSE(VoxFile::WriteWithNewSlot(kTalk, coded, 3, 300, sink, newVoxIndex, &why));
        EXPECT_EQ(newVoxIndex, -1);
        EXPECT_FALSE(why.empty());
    }
}

TEST(VoxFileNewSlot, ResultPastFourGiBIsRefused) {
    test::TempDir folder;
    const std::string path = folder.File("big.vox");
    // A sparse talk file of 4 GiB - 20 bytes with one slot.
    Bytes start = TalkWithSlotZero(16);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, start.data(), start.size()), 16);
    ASSERT_EQ(ftruncate(fd, 0xFFFFFFFFll - 19), 0);
    close(fd);
    MappedFile file;
    ASSERT_TRUE(file.Open(path, 0)) << file.GetError();

    const uint8_t coded[8] = {};
    BufferSink sink;
    int newVoxIndex = -1;
    std::string why;
    EXPECT_FALSE(VoxFile::WriteWithNewSlot(file.Bytes(), coded, 8, 2, sink, newVoxIndex, &why));
    EXPECT_EQ(sink.calls, 0);
    EXPECT_EQ(why, "the talk file would pass 4 GiB");

    // 4 + 8 + 7 bytes more reach exactly 4 GiB - 1: allowed. Only count the bytes.
    class CountingSink : public ByteSink {
      public:
        bool Write(const void*, size_t size) override {
            total += size;
            return true;
        }
        uint64_t total = 0;
    } counter;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(file.Bytes(), coded, 7, 2, counter, newVoxIndex));
    EXPECT_EQ(counter.total, 0xFFFFFFFFull);
}

}  // namespace
}  // namespace vox

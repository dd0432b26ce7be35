#include "lookup/crossrefsearch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using Bytes = std::vector<uint8_t>;
using Numbers = std::vector<int>;
using Alternative = std::pair<int16_t, int16_t>;  // index, frag

void Put16(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, static_cast<uint16_t>(value));
    Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// evalFile.bin: 8-byte records (number, count, offset of the first element), then the words.
Bytes EvalFile(const std::vector<std::vector<Alternative>>& evals) {
    size_t words = 0;
    for (const auto& eval : evals) words += eval.size();
    Bytes bytes(8 * evals.size() + 4 * words);
    size_t offset = 8 * evals.size();
    for (size_t e = 0; e < evals.size(); ++e) {
        Put16(bytes, 8 * e, static_cast<uint16_t>(e));
        Put16(bytes, 8 * e + 2, static_cast<uint16_t>(evals[e].size()));
        Put32(bytes, 8 * e + 4, static_cast<uint32_t>(offset));
        for (const Alternative& alt : evals[e]) {
            Put16(bytes, offset, static_cast<uint16_t>(alt.first));
            Put16(bytes, offset + 2, static_cast<uint16_t>(alt.second));
            offset += 4;
        }
    }
    return bytes;
}

void LoadEvals(EvalTable& table, const Bytes& bytes) {
    ASSERT_TRUE(table.LoadBytes(bytes)) << table.GetError();
}

// commFile.bin: 14-byte records, then every list right after them; elements is the list size.
Bytes CommFile(const std::vector<std::vector<int16_t>>& comms) {
    size_t entries = 0;
    for (const auto& comm : comms) entries += comm.size();
    Bytes bytes(14 * comms.size() + 2 * entries);
    size_t offset = 14 * comms.size();
    for (size_t c = 0; c < comms.size(); ++c) {
        bytes[14 * c + 8] = static_cast<uint8_t>(comms[c].size());
        Put32(bytes, 14 * c + 10, static_cast<uint32_t>(offset));
        for (int16_t entry : comms[c]) {
            Put16(bytes, offset, static_cast<uint16_t>(entry));
            offset += 2;
        }
    }
    return bytes;
}

class CommFixture : public testing::Test {
  protected:
    void OpenComms(const Bytes& bytes) {
        const std::string path =
            folder_.Write("commFile.bin", std::string(bytes.begin(), bytes.end()));
        ASSERT_TRUE(comms_.Open(path)) << comms_.GetError();
    }

    test::TempDir folder_;
    CommTable comms_;
    EvalTable evals_;
};

// Find Frag in Eval

TEST(FindFragInEval, ListsEachEvalOnceAtItsFirstMatchingAlternative) {
    EvalTable evals;
    LoadEvals(evals, EvalFile({{{1, 3}, {2, 7}}, {{1, 7}, {4, 7}}, {}, {{7, 3}}, {{0, 7}}}));
    EXPECT_EQ(FindFragInEval(evals, 7), (Numbers{0, 1, 4}));
    EXPECT_EQ(FindFragInEval(evals, 3), (Numbers{0, 3}));
    EXPECT_EQ(FindFragInEval(evals, 2), Numbers{});
}

// Find Eval in Command

TEST_F(CommFixture, EvalInCommMatchesTheNegatedEntryWhateverItsSign) {
    OpenComms(CommFile({{-5, 3}, {5}, {0}, {-5, -5}, {1, -2}, {}, {-32768}}));
    EXPECT_EQ(FindEvalInComm(comms_, 5), (Numbers{0, 3}));
    EXPECT_EQ(FindEvalInComm(comms_, 2), (Numbers{4}));
    // The sign is not tested first: 0 finds the fragment entry 0, -5 the fragment entry 5.
    EXPECT_EQ(FindEvalInComm(comms_, 0), (Numbers{2}));
    EXPECT_EQ(FindEvalInComm(comms_, -5), (Numbers{1}));
    EXPECT_EQ(FindEvalInComm(comms_, -1), (Numbers{4}));
    EXPECT_EQ(FindEvalInComm(comms_, 32768), (Numbers{6}));
    EXPECT_EQ(FindEvalInComm(comms_, -32768), Numbers{});
    EXPECT_EQ(FindEvalInComm(comms_, 65531), Numbers{});
}

// Find Frag in Command

TEST_F(CommFixture, FragInCommFindsDirectUseAndUseThroughAnEvalOnce) {
    LoadEvals(evals_, EvalFile({{{0, 1}}, {}, {{0, 8}, {1, 7}}, {{0, -5}}, {{0, 0}}}));
    OpenComms(CommFile({{7}, {-2}, {7, -2}, {-9}, {3, 8}, {-3}, {5}, {-4}, {0}, {}}));
    EXPECT_EQ(FindFragInComm(comms_, evals_, 7), (Numbers{0, 1, 2}));
    EXPECT_EQ(FindFragInComm(comms_, evals_, 8), (Numbers{1, 2, 4}));
    // Unlike Find Eval in Command, the entry's sign decides what it names.
    EXPECT_EQ(FindFragInComm(comms_, evals_, -5), (Numbers{5}));
    EXPECT_EQ(FindFragInComm(comms_, evals_, 5), (Numbers{6}));
    EXPECT_EQ(FindFragInComm(comms_, evals_, 0), (Numbers{7, 8}));
    EXPECT_EQ(FindFragInComm(comms_, evals_, -2), Numbers{});
    EXPECT_EQ(FindFragInComm(comms_, evals_, 9), Numbers{});
}

// The scans against the plainest reading of the same tables, one checked accessor call per
// word, on generated tables whose records break the layout in every way a file can: empty and
// negative counts, lists that start below the element area or run to or past the file's end.

bool NaiveEvalSpeaks(const EvalTable& evals, int eval, int n) {
    ListRecord rec;
    if (!evals.GetRecord(eval, rec)) return false;
    EvalElement element;
    for (int p = 0; evals.GetEvalElement(rec, p, element); ++p) {
        if (element.frag == n) return true;
    }
    return false;
}

Numbers NaiveFragInEval(const EvalTable& evals, int n) {
    Numbers found;
    for (int e = 0; e < evals.GetCount(); ++e) {
        if (NaiveEvalSpeaks(evals, e, n)) found.push_back(e);
    }
    return found;
}

template <typename Match>
Numbers NaiveCommScan(const CommTable& comms, Match match) {
    Numbers found;
    CommRecord rec;
    for (int c = 0; c < comms.GetCount() && comms.GetCommRecord(c, rec); ++c) {
        for (int p = 0; p < rec.elements; ++p) {
            if (match(comms.GetCommEntry(rec, p))) {
                found.push_back(c);
                break;
            }
        }
    }
    return found;
}

Bytes OddEvalFile(std::mt19937& random) {
    std::vector<std::vector<Alternative>> evals(60);
    std::uniform_int_distribution<int> size(0, 4);
    std::uniform_int_distribution<int> frag(-3, 12);
    for (auto& eval : evals) {
        for (int i = size(random); i > 0; --i) {
            eval.push_back({static_cast<int16_t>(i), static_cast<int16_t>(frag(random))});
        }
    }
    // Frags at the ends of sixteen bits: compared sign-extended, never as other numbers.
    evals[0].push_back({0, -32768});
    evals[1].push_back({0, 32767});
    Bytes bytes = EvalFile(evals);
    // Every seventh record gets a count of its own: negative, zero, or far more than its list
    // holds (the last ones then run past the element array's end).
    std::uniform_int_distribution<int> count(-2, 40);
    for (size_t e = 3; e < evals.size(); e += 7) {
        Put16(bytes, 8 * e + 2, static_cast<uint16_t>(count(random)));
    }
    Put16(bytes, 8 * 59 + 2, 1000);  // the last list runs to the end
    Put32(bytes, 8 * 11 + 4, 4);     // below the element area
    Put32(bytes, 8 * 12 + 4, static_cast<uint32_t>(bytes.size() + 8));  // past the end
    return bytes;
}

Bytes OddCommFile(std::mt19937& random) {
    std::vector<std::vector<int16_t>> comms(80);
    std::uniform_int_distribution<int> size(0, 6);
    std::uniform_int_distribution<int> entry(-70, 12);
    for (auto& comm : comms) {
        for (int i = size(random); i > 0; --i) comm.push_back(static_cast<int16_t>(entry(random)));
    }
    comms[0].push_back(-32768);
    comms[1].push_back(32767);
    Bytes bytes = CommFile(comms);
    std::uniform_int_distribution<int> elements(0, 255);
    for (size_t c = 5; c < comms.size(); c += 9) {
        bytes[14 * c + 8] = static_cast<uint8_t>(elements(random));
    }
    // Lists that start on the file's last byte, right at its end and far beyond it, and a
    // last comm that claims more entries than the file has left.
    Put32(bytes, 14 * 20 + 10, static_cast<uint32_t>(bytes.size() - 1));
    Put32(bytes, 14 * 21 + 10, static_cast<uint32_t>(bytes.size()));
    Put32(bytes, 14 * 22 + 10, 0xFFFFFFF0u);
    bytes[14 * 79 + 8] = 200;
    return bytes;
}

TEST_F(CommFixture, ScansFindWhatAWordByWordReadingFinds) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        LoadEvals(evals_, OddEvalFile(random));
        OpenComms(OddCommFile(random));
        std::vector<int> numbers = {-32769, -32768, -32767, 32767, 32768,
                                    32769,  65531,  65535,  65543};
        for (int n = -72; n <= 72; ++n) numbers.push_back(n);
        for (int n : numbers) {
            SCOPED_TRACE(n);
            EXPECT_EQ(FindFragInEval(evals_, n), NaiveFragInEval(evals_, n));
            EXPECT_EQ(FindEvalInComm(comms_, n),
                      NaiveCommScan(comms_, [n](int16_t e) { return -static_cast<int>(e) == n; }));
            EXPECT_EQ(FindFragInComm(comms_, evals_, n), NaiveCommScan(comms_, [&](int16_t e) {
                          return e < 0 ? NaiveEvalSpeaks(evals_, -e, n) : e == n;
                      }));
        }
    }
}

}  // namespace
}  // namespace vox

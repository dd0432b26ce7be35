#include "lookup/crossrefsearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "talkdata/bytes.h"
#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using Bytes = std::vector<uint8_t>;
using Numbers = std::vector<int>;

// evalFile.bin: 8-byte records (number, count, offset of the first element), then the words,
// each an (index, frag) pair.
Bytes EvalFile(const std::vector<std::vector<std::pair<int16_t, int16_t>>>& evals) {
    Bytes bytes(8 * evals.size());
    for (size_t e = 0; e < evals.size(); ++e) {
        WriteU16(bytes.data() + 8 * e + 2, static_cast<uint16_t>(evals[e].size()));
        WriteU32(bytes.data() + 8 * e + 4, static_cast<uint32_t>(bytes.size()));
        for (const auto& [index, frag] : evals[e]) {
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8),
                          static_cast<uint8_t>(frag), static_cast<uint8_t>(frag >> 8)});
        }
    }
    return bytes;
}

// commFile.bin: 14-byte records, then every list right after them; elements is the list size.
Bytes CommFile(const std::vector<std::vector<int16_t>>& comms) {
    Bytes bytes(14 * comms.size());
    for (size_t c = 0; c < comms.size(); ++c) {
        bytes[14 * c + 8] = static_cast<uint8_t>(comms[c].size());
        WriteU32(bytes.data() + 14 * c + 10, static_cast<uint32_t>(bytes.size()));
        for (int16_t entry : comms[c]) {
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(entry), static_cast<uint8_t>(entry >> 8)});
        }
    }
    return bytes;
}

class CrossRef : public testing::Test {
  protected:
    void Open(const Bytes& comms, const Bytes& evals) {
        ASSERT_TRUE(evals_.LoadBytes(evals)) << evals_.GetError();
        const std::string path =
            folder_.Write("commFile.bin", std::string(comms.begin(), comms.end()));
        ASSERT_TRUE(comms_.Open(path)) << comms_.GetError();
    }

    test::TempDir folder_;
    CommTable comms_;
    EvalTable evals_;
};

TEST_F(CrossRef, FragInEvalListsEachEvalOnceAndANegativeCountHoldsNothing) {
    Bytes evals = EvalFile({{{1, 3}, {2, 7}}, {{1, 7}, {4, 7}}, {}, {{7, 3}}, {{0, 7}}});
    WriteU16(evals.data() + 8 * 2 + 2, 0xFFFF);  // eval 2 would otherwise reach into 3 and 4
    Open(CommFile({{}}), evals);
    EXPECT_EQ(FindFragInEval(evals_, 7), (Numbers{0, 1, 4}));
    EXPECT_EQ(FindFragInEval(evals_, 3), (Numbers{0, 3}));
}

TEST_F(CrossRef, EvalInCommMatchesTheNegatedEntryWhateverItsSign) {
    Open(CommFile({{-5, 3}, {5}, {0}, {-5, -5}, {1, -2}, {}, {-32768}}), EvalFile({{}}));
    const std::pair<int, Numbers> cases[] = {
        {5, {0, 3}},
        // The sign is not tested first: 0 finds the fragment entry 0, -5 the fragment entry 5.
        {0, {2}},
        {-5, {1}},
        {32768, {6}},
        {-32768, {}},
        {65531, {}}};
    for (const auto& [n, found] : cases) EXPECT_EQ(FindEvalInComm(comms_, n), found) << n;
}

TEST_F(CrossRef, FragInCommFindsDirectUseAndUseThroughAnEvalOnce) {
    Open(CommFile({{7}, {-2}, {7, -2}, {-9}, {3, 8}, {-3}, {5}, {-4}, {0}, {}}),
         EvalFile({{{0, 1}}, {}, {{0, 8}, {1, 7}}, {{0, -5}}, {{0, 0}}}));
    const std::pair<int, Numbers> cases[] = {
        {7, {0, 1, 2}},
        {8, {1, 2, 4}},
        // Unlike Find Eval in Command, the entry's sign decides what it names.
        {-5, {5}},
        {5, {6}},
        {0, {7, 8}},
        {9, {}}};
    for (const auto& [n, found] : cases) EXPECT_EQ(FindFragInComm(comms_, evals_, n), found) << n;
}

}  // namespace
}  // namespace vox

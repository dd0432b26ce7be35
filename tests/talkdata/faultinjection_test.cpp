#include "talkdata/faultinjection.h"

#include <gtest/gtest.h>

namespace vox {
namespace {

TEST(FaultInjection, ArmedPointPassesTheGivenCallsThenKeepsFailing) {
    faults::DisarmAll();
    EXPECT_FALSE(faults::ShouldFail("test.point"));
    faults::Arm("test.point", 2);
    EXPECT_FALSE(faults::ShouldFail("test.point"));
    EXPECT_FALSE(faults::ShouldFail("test.point"));
    EXPECT_TRUE(faults::ShouldFail("test.point"));
    EXPECT_TRUE(faults::ShouldFail("test.point"));
    EXPECT_FALSE(faults::ShouldFail("test.other"));
    faults::Disarm("test.point");
    EXPECT_FALSE(faults::ShouldFail("test.point"));
    faults::Arm("test.point");
    faults::DisarmAll();
    EXPECT_FALSE(faults::ShouldFail("test.point"));
}

}  // namespace
}  // namespace vox

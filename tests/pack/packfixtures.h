#pragma once

#include <gtest/gtest.h>

#include <string>

#include "talkdata/faultinjection.h"
#include "talkdata/progress.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"

namespace vox::test {

// A database written to original_ as speech.vox, unpacked and packed through the library as
// voxtool does after opening it. The notes of both runs land in notes_, one a line.
class PackTest : public ::testing::Test {
  protected:
    void TearDown() override { faults::DisarmAll(); }
    bool Unpack(const std::string& to, std::string& error, const std::string& phrases = "",
                const std::string& commNames = "", const ProgressFn& progress = {});
    bool Pack(const std::string& from, const std::string& to, std::string& error,
              const ProgressFn& progress = {});
    std::string In() const { return work_.File("in"); }
    std::string Out() const { return work_.File("out"); }

    TempDir original_;
    TempDir work_;
    std::string notes_;
};

}  // namespace vox::test

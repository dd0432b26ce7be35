#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "workbench/document.h"

namespace vox::test {

// 20 bytes that the codec refuses to decode: their first byte names another configuration.
inline Bytes UndecodableFrame() { return Bytes(20, 0xFF); }

// A view that counts the document's change notifications.
struct CountingView : DocumentView {
    void OnUpdate() override { ++updates; }
    int updates = 0;
};

// A database in a temporary folder, opened read-write in a document whose dialogs a
// ScriptedPrompter answers.
class ImportFixture : public ::testing::Test {
  protected:
    ~ImportFixture() override;
    void Open(const DatabaseBuilder& db, const std::string& talkName = "speech.vox");
    // A wave file in SpeechWaveFormat holding pcm; returns its path.
    std::string WriteWaveFile(const std::string& name, const Bytes& pcm);

    Bytes TalkBytes() const { return ReadFileBytes(talk_); }
    Bytes FragTableBytes() const { return doc_->GetFragTable().SaveBytes(); }
    std::string TempTalkPath() const { return talk_.substr(0, talk_.size() - 1) + "$"; }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    CountingView view_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
};

}  // namespace vox::test

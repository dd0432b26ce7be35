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
std::vector<uint8_t> UndecodableFrame();

// A view that counts the document's change notifications.
class CountingView : public DocumentView {
  public:
    void OnUpdate() override { ++updates; }
    int updates = 0;
};

// A database in a temporary folder, opened read-write in a document whose dialogs a
// ScriptedPrompter answers.
class ImportFixture : public ::testing::Test {
  protected:
    ~ImportFixture() override;

    // Writes the database and opens it.
    void Open(const DatabaseBuilder& db, const std::string& talkName = "speech.vox");
    // Writes raw talk bytes beside the builder's tables and opens them.
    void OpenWithTalk(const DatabaseBuilder& tables, const std::vector<uint8_t>& talk,
                      const std::string& talkName = "speech.vox");
    // A wave file in SpeechWaveFormat holding pcm; returns its path.
    std::string WriteWaveFile(const std::string& name, const std::vector<uint8_t>& pcm);

    std::vector<uint8_t> TalkBytes() const { return ReadFileBytes(talk_); }
    std::vector<uint8_t> FragTableBytes() const { return doc_->GetFragTable().SaveBytes(); }
    std::string TempTalkPath() const { return talk_.substr(0, talk_.size() - 1) + "$"; }
    const std::string& TalkPath() const { return talk_; }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    CountingView view_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
};

}  // namespace vox::test

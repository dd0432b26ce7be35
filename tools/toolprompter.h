#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "talkdata/document.h"
#include "talkdata/prompter.h"

namespace vox::tool {

// Answers the dialogs of a command from its arguments and prints every message as
// "voxtool: <message>" on stderr. A question it has no answer for is cancelled, so a command
// can never wait for a person.
class ToolPrompter : public Prompter {
public:
    // The next file dialog gets this path. For a dialog whose file must exist, a missing file
    // is said and the dialog cancelled, as a real dialog would not let it be chosen.
    void AnswerFile(std::string path) { files_.push_back(std::move(path)); }
    // The next number dialog gets these values; a field left empty keeps the dialog's preset.
    void AnswerNumbers(std::vector<std::optional<long long>> values) {
        numbers_.push_back(std::move(values));
    }

    void ShowMessage(const std::string& text) override;
    std::optional<std::string> AskFile(const FileDialogRequest& request) override;
    std::optional<std::vector<long long>> AskNumbers(const NumberDialogRequest& request) override;
    std::optional<std::string> AskText(int templateId, const std::string& caption,
                                       const std::string& label) override;
    void ShowNumberList(int templateId, const std::string& caption, const std::string& column,
                        const std::vector<int>& numbers) override;

    int MessageCount() const { return messageCount_; }

private:
    std::deque<std::string> files_;
    std::deque<std::vector<std::optional<long long>>> numbers_;
    int messageCount_ = 0;
};

// The form's guard: a database without fragments counts as none loaded. Says
// "No Voxfile loaded!" through the document's prompter and returns false then.
bool GuardLoaded(CVoxbenchDoc& doc);

}  // namespace vox::tool

#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "workbench/prompter.h"

namespace vox::test {

// Answers dialogs from a script written by the test, and records everything it was shown or
// asked, so a test can check both. A question with no answer left in the script is answered
// with Cancel and recorded as unexpected: a test can never block on a dialog.
class ScriptedPrompter : public Prompter {
  public:
    // Queue answers; std::nullopt means the person cancels. option: the file dialog's check box.
    void AnswerFile(std::optional<std::string> path, bool option = false) {
        files_.push_back(path ? std::optional<FileChoice>(FileChoice{std::move(*path), option})
                              : std::nullopt);
    }
    void AnswerNumbers(std::optional<std::vector<long long>> numbers) {
        numbers_.push_back(std::move(numbers));
    }
    void AnswerText(std::optional<std::string> text) { texts_.push_back(std::move(text)); }
    // Also answers AskYesNo: Yes is yes, anything else no.
    void AnswerYesNoCancel(Answer answer) { answers_.push_back(answer); }
    // The preview question: the sound buttons pressed (by position), then OK or Cancel.
    void AnswerPreview(bool ok, std::vector<size_t> pressed = {}) {
        previewAnswers_.push_back({ok, std::move(pressed)});
    }

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> AskFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> AskFileWithOption(const FileDialogRequest& request) override;
    std::optional<std::vector<long long>> AskNumbers(const NumberDialogRequest& request) override;
    std::optional<std::string> AskText(int templateId, const std::string& caption,
                                       const std::string& label) override;
    void ShowNumberList(int templateId, const std::string& caption, const std::string& column,
                        const std::vector<int>& numbers) override;
    // With no answer left: Cancel, recorded as unexpected.
    Answer AskYesNoCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    // With no answer left: Cancel, recorded as unexpected.
    bool ConfirmWithPreview(const std::string& text,
                            const std::vector<PreviewSound>& sounds) override;
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }

    // What happened, in order.
    std::vector<std::string> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<NumberDialogRequest> numberRequests;
    std::vector<std::string> textCaptions;
    std::vector<std::vector<int>> lists;
    std::vector<std::string> questions;
    struct Preview {
        std::string text;
        std::vector<std::string> labels;
    };
    std::vector<Preview> previews;
    std::vector<std::string> statuses;
    int unexpectedQuestions = 0;

    bool ScriptUsedUp() const {
        return files_.empty() && numbers_.empty() && texts_.empty() && answers_.empty() &&
               previewAnswers_.empty();
    }

  private:
    struct PreviewAnswer {
        bool ok;
        std::vector<size_t> pressed;
    };
    std::deque<std::optional<FileChoice>> files_;
    std::deque<std::optional<std::vector<long long>>> numbers_;
    std::deque<std::optional<std::string>> texts_;
    std::deque<Answer> answers_;
    std::deque<PreviewAnswer> previewAnswers_;
};

}  // namespace vox::test

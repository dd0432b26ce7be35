#pragma once

#include "workbench/prompter.h"

class QWidget;

namespace vox {

// The prompting interface answered by real dialogs: message boxes captioned "voxbench" with one
// OK button, Qt's own (non-native) file dialogs, and the number, Find and Result List dialogs
// over their templates, and the preview question of a new take. Every dialog is modal over the
// parent.
class QtPrompter : public Prompter {
  public:
    static constexpr const char* kCaption = "voxbench";

    explicit QtPrompter(QWidget* parent);

    void ShowMessage(const std::string& text) override;
    std::optional<std::string> AskFile(const FileDialogRequest& request) override;
    std::optional<std::vector<long long>> AskNumbers(const NumberDialogRequest& request) override;
    std::optional<std::string> AskText(int templateId, const std::string& caption,
                                       const std::string& label) override;
    void ShowNumberList(int templateId, const std::string& caption, const std::string& column,
                        const std::vector<int>& numbers) override;
    Answer AskYesNoCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<FileChoice> AskFileWithOption(const FileDialogRequest& request) override;
    bool ConfirmWithPreview(const std::string& text,
                            const std::vector<PreviewSound>& sounds) override;

  private:
    QWidget* parent_;
};

}  // namespace vox

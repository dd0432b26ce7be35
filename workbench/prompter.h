#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vox {

// What a file dialog offers. The filter is written as the desktop tradition has it:
// "Wave Files (*.wav)|*.wav|All files (*.*)|*.*||".
struct FileDialogRequest {
    bool save = false;
    std::string defaultExtension;  // without the dot
    std::string fileName;          // offered name, may be empty
    std::string folder;            // where the dialog opens; the current folder when empty
    std::string filter;
    bool overwritePrompt = false;  // save: ask before replacing an existing file
    bool mustExist = false;        // open: the chosen file must exist
    // A check box below the file list ("Normalize loudness"); none when empty. Its state comes
    // back from AskFileWithOption.
    std::string optionLabel;
    bool optionChecked = false;  // as the dialog opens
};

struct FileChoice {
    std::string path;
    bool option = false;  // the check box's state when the person chose the file
};

// A sound that a question lets the person hear before answering ("Play New").
struct PreviewSound {
    std::string label;
    std::function<void()> play;
};

struct NumberField {
    int controlId = 0;
    std::string label;
    long long value = 0;
};

// A small dialog of whole-number fields (the voice index, the fragment range, an element).
// The dialog refuses text that is not a whole number and stays open until it gets one.
struct NumberDialogRequest {
    int templateId = 0;
    std::string caption;
    std::vector<NumberField> fields;
};

enum class Answer { Yes, No, Cancel };

// Everything that asks a person something goes through this interface: the desktop program
// answers with real dialogs, tests with a script, the command-line tool from its arguments.
// Every message box is captioned with the application title and has one OK button.
class Prompter {
  public:
    virtual ~Prompter() = default;

    virtual void ShowMessage(const std::string& text) = 0;
    // The chosen path, or nothing when the person cancelled.
    virtual std::optional<std::string> AskFile(const FileDialogRequest& request) = 0;
    // The numbers in field order, or nothing when the person cancelled.
    virtual std::optional<std::vector<long long>> AskNumbers(
        const NumberDialogRequest& request) = 0;
    // One line of free text (the Find dialog), or nothing when cancelled.
    virtual std::optional<std::string> AskText(int templateId, const std::string& caption,
                                               const std::string& label) = 0;
    // A read-only list of numbers (the result list of a search).
    virtual void ShowNumberList(int templateId, const std::string& caption,
                                const std::string& column, const std::vector<int>& numbers) = 0;
    // A question with Yes, No and Cancel ("Save changes to speech.vox?"). A prompter that
    // cannot ask answers Cancel, so that nothing is discarded without a person saying so.
    virtual Answer AskYesNoCancel(const std::string& /*text*/) { return Answer::Cancel; }
    // A question with Yes and No ("Store the first 5.06 s?"). A prompter that cannot ask
    // answers No.
    virtual bool AskYesNo(const std::string& /*text*/) { return false; }
    // The file dialog with its check box. A prompter without check boxes asks without one, and
    // the option keeps its preset.
    virtual std::optional<FileChoice> AskFileWithOption(const FileDialogRequest& request) {
        std::optional<std::string> path = AskFile(request);
        if (!path) return std::nullopt;
        return FileChoice{std::move(*path), request.optionChecked};
    }
    // OK or Cancel, with a button for each sound that plays it and leaves the question open.
    // True for OK. A prompter that cannot ask cancels.
    virtual bool ConfirmWithPreview(const std::string& /*text*/,
                                    const std::vector<PreviewSound>& /*sounds*/) {
        return false;
    }
    // One line in the status bar on what a command did ("converted from 48000 Hz stereo
    // 24-bit"): worth seeing, not worth a click.
    virtual void ShowStatus(const std::string& /*text*/) {}
};

// Cancels every question and drops every message: the document's default, so that nothing in
// the library can block on a person who is not there.
class SilentPrompter : public Prompter {
  public:
    void ShowMessage(const std::string&) override {}
    std::optional<std::string> AskFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::vector<long long>> AskNumbers(const NumberDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskText(int, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void ShowNumberList(int, const std::string&, const std::string&,
                        const std::vector<int>&) override {}
    Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
    bool AskYesNo(const std::string&) override { return false; }
};

}  // namespace vox

#pragma once

#include "ui/dialogs/qtprompter.h"

namespace vox {

// The program's prompter: the dialogs of QtPrompter, the Yes/No/Cancel question that the
// frame asks before a modified document is closed, and the frame's status bar.
class FramePrompter : public QtPrompter {
  public:
    explicit FramePrompter(QWidget* parent) : QtPrompter(parent), parent_(parent) {}

    Answer AskYesNoCancel(const std::string& text) override;
    void ShowStatus(const std::string& text) override;

  private:
    QWidget* parent_;
};

}  // namespace vox

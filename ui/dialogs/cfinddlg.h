#pragma once

#include <string>

#include "ui/dialogs/templatedialog.h"

namespace vox {

// Template 136, "Find": one line of text (edit 1094) under a prompt line (label 1098) that says
// which search it is, since the three searches share the title. OK keeps the text and its lenient
// value (a search number is never refused: text without digits searches for 0).
class CFindDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 136;
    static constexpr int kTextControl = 1094;
    static constexpr int kPromptControl = 1098;

    // An empty prompt keeps the template's.
    explicit CFindDlg(QWidget* parent, const std::string& prompt = {});

    std::string text;
    int value = 0;

  protected:
    void OnOK() override;
};

}  // namespace vox

#pragma once

#include <string>

#include "ui/dialogs/templatedialog.h"

namespace vox {

// Template 136, "Find": one line of text (edit 1094). OK keeps the text and its lenient value
// (a search number is never refused: text without digits searches for 0).
class CFindDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 136;
    static constexpr int kTextControl = 1094;

    explicit CFindDlg(QWidget* parent);

    std::string text;
    int value = 0;

  protected:
    void OnOK() override;
};

}  // namespace vox

#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "workbench/prompter.h"

namespace vox {

// A question to confirm with OK or Cancel, with a button for each sound it lets the person
// hear first ("Play New", "Play Current"). A sound button plays and leaves the question open,
// as often as it is pressed. Built in code: the dialog has no template of its own.
class CPreviewDlg : public QDialog {
    Q_OBJECT
  public:
    // The sounds are the caller's and must outlive the dialog.
    CPreviewDlg(const std::string& text, const std::vector<PreviewSound>& sounds, QWidget* parent);
};

}  // namespace vox

#pragma once

#include <QDialog>

#include "ui/templates/dialogtemplate.h"

namespace vox {

// The About box: the program's icon, name and version, and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 100;

    CAboutDlg(const DialogTemplateSet& templates, QWidget* parent = nullptr);
};

}  // namespace vox

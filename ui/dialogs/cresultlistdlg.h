#pragma once

#include <vector>

#include "ui/dialogs/templatedialog.h"

namespace vox {

// Template 137, "Result List": the numbers a search found, one row each, for reading only.
// It refers to the caller's list, which must outlive it.
class CResultListDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 137;
    static constexpr int kListControl = 1095;

    CResultListDlg(const std::vector<int>& results, QWidget* parent, const char* column = "Number");

  private:
    const std::vector<int>& results_;
};

}  // namespace vox

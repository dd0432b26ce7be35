#pragma once

#include <vector>

#include "ui/dialogs/templatedialog.h"
#include "workbench/prompter.h"

class QLabel;
class QLineEdit;

namespace vox {

// A dialog of whole-number fields. It uses the request's template when that template has an
// edit for every field, and otherwise lays the fields out one under another. OK closes it only
// when every field holds a whole number; otherwise it shows a prompt, selects the field and
// stays open.
class CNumberDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    CNumberDlg(const NumberDialogRequest& request, QWidget* parent);

    // The numbers in field order; filled when OK was accepted.
    const std::vector<long long>& Values() const { return values_; }
    QLineEdit* FieldEdit(size_t field) const;
    size_t FieldCount() const { return fieldIds_.size(); }

  protected:
    void OnOK() override;

  private:
    // The template for a request and the control ids its fields got there.
    struct Layout {
        DialogTemplate dialog;
        std::vector<int> fieldIds;
    };
    static Layout ChooseLayout(const NumberDialogRequest& request);
    CNumberDlg(const NumberDialogRequest& request, const Layout& layout, QWidget* parent);
    void Refuse(size_t field);

    std::vector<int> fieldIds_;
    std::vector<long long> values_;
    QLabel* prompt_ = nullptr;
};

}  // namespace vox

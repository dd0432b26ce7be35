#include "ui/dialogs/numberdialogs.h"

#include <QLineEdit>

namespace vox {

CFragRangeDlg::CFragRangeDlg(const NumberDialogRequest& request, QWidget* parent)
    : CNumberDlg(request, parent) {
    if (auto* from = ControlAs<QLineEdit>(kFromControl)) {
        from->setText(DecimalText(0));
        from->selectAll();
    }
}

std::unique_ptr<CNumberDlg> MakeNumberDialog(const NumberDialogRequest& request, QWidget* parent) {
    switch (request.templateId) {
        case kEvalElementTemplate:
            return std::make_unique<CEvalElementDlg>(request, parent);
        case kFragElementTemplate:
            return std::make_unique<CFragElementDlg>(request, parent);
        case kVoiceIndexTemplate:
            return std::make_unique<CVoiceIndexDlg>(request, parent);
        case kFragRangeTemplate:
            return std::make_unique<CFragRangeDlg>(request, parent);
        default:
            return std::make_unique<CNumberDlg>(request, parent);
    }
}

}  // namespace vox

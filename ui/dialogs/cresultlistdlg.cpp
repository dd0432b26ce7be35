#include "ui/dialogs/cresultlistdlg.h"

#include <QTreeWidget>

#include "ui/dialogs/dialogresources.h"
#include "ui/dialogs/reportlist.h"

namespace vox {
namespace {

constexpr int kNumberColumnWidth = 40;

const DialogTemplate& ResultListTemplate() {
    static const DialogTemplate empty;
    const DialogTemplate* found = FindDialogTemplate(CResultListDlg::kTemplate);
    return found != nullptr ? *found : empty;
}

}  // namespace

CResultListDlg::CResultListDlg(const std::vector<int>& results, QWidget* parent, const char* column)
    : CTemplateDialog(ResultListTemplate(), parent), results_(results) {
    auto* list = ControlAs<QTreeWidget>(kListControl);
    if (list == nullptr) return;
    SetupReportList(list, {{column, kNumberColumnWidth}});
    for (size_t i = 0; i < results_.size(); ++i) {
        const int position = static_cast<int>(i);
        InsertReportRow(list, position, {DecimalText(results_[i])});
    }
}

}  // namespace vox

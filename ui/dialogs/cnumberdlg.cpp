#include "ui/dialogs/cnumberdlg.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <set>

#include "ui/dialogs/dialogresources.h"
#include "ui/dialogs/wholenumber.h"

namespace vox {
namespace {

// The generic layout: the place of the classic element dialogs, one row per field.
constexpr int kGenericWidth = 187;
constexpr int kRowHeight = 22;
constexpr int kFirstRowTop = 7;
constexpr int kFirstGenericId = 1000;
constexpr int kPromptHeight = 20;

bool TemplateFits(const DialogTemplate& dialog, const NumberDialogRequest& request) {
    for (const NumberField& field : request.fields) {
        const ControlTemplate* control = dialog.Find(field.controlId);
        if (control == nullptr || control->kind != ControlKind::Edit) return false;
    }
    return true;
}

// Ids 1 and 2 are OK and Cancel; a field without a usable id of its own gets a free one.
std::vector<int> GenericIds(const NumberDialogRequest& request) {
    std::vector<int> ids;
    std::set<int> used{1, 2};
    for (size_t i = 0; i < request.fields.size(); ++i) {
        int id = request.fields[i].controlId;
        if (id < 0 || id > 65535 || used.count(id) != 0) id = kFirstGenericId + static_cast<int>(i);
        while (used.count(id) != 0) ++id;
        used.insert(id);
        ids.push_back(id);
    }
    return ids;
}

ControlTemplate MakeControl(ControlKind kind, int id, QRect place, std::string text = {}) {
    ControlTemplate control;
    control.kind = kind;
    control.id = id;
    control.x = place.x();
    control.y = place.y();
    control.width = place.width();
    control.height = place.height();
    control.text = std::move(text);
    return control;
}

DialogTemplate GenericTemplate(const NumberDialogRequest& request, const std::vector<int>& ids) {
    DialogTemplate dialog;
    dialog.id = request.templateId;
    dialog.width = kGenericWidth;
    const int rows = static_cast<int>(request.fields.size());
    dialog.height = std::max(49, kFirstRowTop + rows * kRowHeight + 5);
    dialog.controls.push_back(MakeControl(ControlKind::DefaultButton, 1, {130, 7, 50, 14}, "OK"));
    dialog.controls.push_back(MakeControl(ControlKind::Button, 2, {130, 24, 50, 14}, "Cancel"));
    for (int i = 0; i < rows; ++i) {
        const int top = kFirstRowTop + i * kRowHeight;
        const auto field = static_cast<size_t>(i);
        dialog.controls.push_back(
            MakeControl(ControlKind::Label, -1, {7, top + 3, 49, 8}, request.fields[field].label));
        dialog.controls.push_back(MakeControl(ControlKind::Edit, ids[field], {58, top, 60, 14}));
    }
    return dialog;
}

}  // namespace

CNumberDlg::Layout CNumberDlg::ChooseLayout(const NumberDialogRequest& request) {
    Layout layout;
    const DialogTemplate* known = FindDialogTemplate(request.templateId);
    if (known != nullptr && TemplateFits(*known, request)) {
        layout.dialog = *known;
        for (const NumberField& field : request.fields) layout.fieldIds.push_back(field.controlId);
    } else {
        layout.fieldIds = GenericIds(request);
        layout.dialog = GenericTemplate(request, layout.fieldIds);
    }
    if (!request.caption.empty()) layout.dialog.caption = request.caption;
    return layout;
}

CNumberDlg::CNumberDlg(const NumberDialogRequest& request, QWidget* parent)
    : CNumberDlg(request, ChooseLayout(request), parent) {}

CNumberDlg::CNumberDlg(const NumberDialogRequest& request, const Layout& layout, QWidget* parent)
    : CTemplateDialog(layout.dialog, parent), fieldIds_(layout.fieldIds) {
    for (size_t i = 0; i < request.fields.size(); ++i) {
        if (QLineEdit* edit = FieldEdit(i)) edit->setText(DecimalText(request.fields[i].value));
    }
    prompt_ = new QLabel(this);
    prompt_->setObjectName("wholeNumberPrompt");
    prompt_->setWordWrap(true);
    prompt_->setGeometry(
        Units().Rect(7, Template().height, Template().width - 14, kPromptHeight - 4));
    prompt_->hide();
    if (QLineEdit* first = FieldEdit(0)) {
        first->setFocus();
        first->selectAll();
    }
}

QLineEdit* CNumberDlg::FieldEdit(size_t field) const {
    return field < fieldIds_.size() ? ControlAs<QLineEdit>(fieldIds_[field]) : nullptr;
}

void CNumberDlg::OnOK() {
    std::vector<long long> values;
    for (size_t i = 0; i < fieldIds_.size(); ++i) {
        QLineEdit* edit = FieldEdit(i);
        long long value = 0;
        if (edit == nullptr || !ParseWholeNumber(edit->text().toStdString(), value)) {
            Refuse(i);
            return;
        }
        values.push_back(value);
    }
    values_ = std::move(values);
    accept();
}

void CNumberDlg::Refuse(size_t field) {
    prompt_->setText(QString::fromUtf8(kWholeNumberPrompt));
    if (prompt_->isHidden()) {
        prompt_->show();
        setFixedSize(TemplateSize() + QSize(0, Units().Y(kPromptHeight)));
    }
    if (QLineEdit* edit = FieldEdit(field)) {
        edit->setFocus();
        edit->selectAll();
    }
}

}  // namespace vox

#include "ui/dialogs/cfinddlg.h"

#include <QLabel>
#include <QLineEdit>

#include "lookup/lenientnumber.h"
#include "ui/dialogs/dialogresources.h"

namespace vox {
namespace {

const DialogTemplate& FindTemplate() {
    static const DialogTemplate empty;
    const DialogTemplate* found = FindDialogTemplate(CFindDlg::kTemplate);
    return found != nullptr ? *found : empty;
}

}  // namespace

CFindDlg::CFindDlg(QWidget* parent, const std::string& prompt)
    : CTemplateDialog(FindTemplate(), parent) {
    auto* label = ControlAs<QLabel>(kPromptControl);
    if (label && !prompt.empty()) label->setText(QString::fromStdString(prompt));
    if (auto* edit = ControlAs<QLineEdit>(kTextControl)) edit->setFocus();
}

void CFindDlg::OnOK() {
    if (auto* edit = ControlAs<QLineEdit>(kTextControl)) text = edit->text().toStdString();
    value = ParseLenientInt(text);
    accept();
}

}  // namespace vox

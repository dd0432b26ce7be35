#include "ui/dialogs/cfinddlg.h"

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

CFindDlg::CFindDlg(QWidget* parent) : CTemplateDialog(FindTemplate(), parent) {
    if (auto* edit = ControlAs<QLineEdit>(kTextControl)) edit->setFocus();
}

void CFindDlg::OnOK() {
    if (auto* edit = ControlAs<QLineEdit>(kTextControl)) text = edit->text().toStdString();
    value = ParseLenientInt(text);
    accept();
}

}  // namespace vox

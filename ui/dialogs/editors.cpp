#include "ui/dialogs/editors.h"

#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"

namespace vox {

bool RunEvalEditor(QWidget* parent, CVoxbenchDoc& doc, int eval, int voice) {
    ListRecord record;
    if (!doc.GetEvalRecord(eval, record)) return false;
    std::string name;
    doc.GetEvalName(eval, name);
    CEvalInfoDlg dialog(doc, eval, name, voice, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    doc.SetEvalName(eval, dialog.name);
    return true;
}

void RunFragEditor(QWidget* parent, CVoxbenchDoc& doc, int fragment) {
    CFragInfoDlg dialog(doc, fragment, parent);
    dialog.exec();
}

}  // namespace vox

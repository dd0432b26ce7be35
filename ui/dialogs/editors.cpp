#include "ui/dialogs/editors.h"

#include "ui/dialogs/cevalinfodlg.h"
#include "ui/dialogs/cfraginfodlg.h"
#include "ui/dialogs/undocommands.h"

namespace vox {

bool RunEvalEditor(QWidget* parent, CVoxbenchDoc& doc, int eval, int voice, QUndoStack* undo) {
    ListRecord record;
    if (!doc.GetEvalRecord(eval, record)) return false;
    std::string name;
    doc.GetEvalName(eval, name);
    CEvalInfoDlg dialog(doc, eval, name, voice, parent, undo);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (dialog.name != name && doc.SetEvalName(eval, dialog.name)) {
        RecordCommand(undo, new RenameEval(doc, eval, name, dialog.name));
    }
    return true;
}

void RunFragEditor(QWidget* parent, CVoxbenchDoc& doc, int fragment, QUndoStack* undo) {
    CFragInfoDlg dialog(doc, fragment, parent, undo);
    dialog.exec();
}

}  // namespace vox

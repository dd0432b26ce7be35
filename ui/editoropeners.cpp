#include "ui/editoropeners.h"

#include "ui/dialogs/editors.h"

namespace vox {

EditorOpeners EditorOpeners::Dialogs(QUndoStack* undo) {
    EditorOpeners openers;
    openers.evalEditor = [undo](QWidget* parent, CVoxbenchDoc& doc, int eval, int voice) {
        RunEvalEditor(parent, doc, eval, voice, undo);
    };
    openers.fragEditor = [undo](QWidget* parent, CVoxbenchDoc& doc, int fragment) {
        RunFragEditor(parent, doc, fragment, undo);
    };
    return openers;
}

}  // namespace vox

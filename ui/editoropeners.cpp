#include "ui/editoropeners.h"

#include "ui/dialogs/editors.h"

namespace vox {

EditorOpeners EditorOpeners::Dialogs() {
    EditorOpeners openers;
    openers.evalEditor = [](QWidget* parent, CVoxbenchDoc& doc, int eval, int voice) {
        RunEvalEditor(parent, doc, eval, voice);
    };
    openers.fragEditor = [](QWidget* parent, CVoxbenchDoc& doc, int fragment) {
        RunFragEditor(parent, doc, fragment);
    };
    return openers;
}

}  // namespace vox

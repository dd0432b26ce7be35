#pragma once

#include <functional>

class QUndoStack;
class QWidget;

namespace vox {

class CVoxbenchDoc;

// How the form opens the two table editors. The program uses the real dialogs; tests put
// recorders in their place so that no modal dialog can block them.
struct EditorOpeners {
    std::function<void(QWidget* parent, CVoxbenchDoc& doc, int eval, int voice)> evalEditor;
    std::function<void(QWidget* parent, CVoxbenchDoc& doc, int fragment)> fragEditor;

    // The real editors; their changes go on undo when it is given.
    static EditorOpeners Dialogs(QUndoStack* undo = nullptr);
};

}  // namespace vox

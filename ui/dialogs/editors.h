#pragma once

#include "workbench/document.h"

class QUndoStack;
class QWidget;

namespace vox {

// Opens the eval editor for an existing eval with its current name and the phrases of voice;
// on OK stores the name field as the eval's name. False (and nothing shown) when the eval does
// not exist or the user cancelled; edits of the alternatives stay either way. Every change goes
// on undo when it is given (a changed name as one more command).
bool RunEvalEditor(QWidget* parent, CVoxbenchDoc& doc, int eval, int voice,
                   QUndoStack* undo = nullptr);

// Opens the frag editor for a fragment. The caller has already checked that a talk file is
// loaded; a fragment outside the table shows an empty editor.
void RunFragEditor(QWidget* parent, CVoxbenchDoc& doc, int fragment, QUndoStack* undo = nullptr);

}  // namespace vox

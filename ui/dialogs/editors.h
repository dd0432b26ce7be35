#pragma once

#include "workbench/document.h"

class QWidget;

namespace vox {

// Opens the eval editor for an existing eval with its current name and the phrases of voice;
// on OK stores the name field as the eval's name. False (and nothing shown) when the eval does
// not exist or the user cancelled; edits of the alternatives stay either way.
bool RunEvalEditor(QWidget* parent, CVoxbenchDoc& doc, int eval, int voice);

// Opens the frag editor for a fragment. The caller has already checked that a talk file is
// loaded; a fragment outside the table shows an empty editor.
void RunFragEditor(QWidget* parent, CVoxbenchDoc& doc, int fragment);

}  // namespace vox

#pragma once

#include "ui/templates/dialogtemplate.h"

namespace vox {

// The templates of the editors and the small dialogs (resources/dialogs/dialogs.dlg, compiled
// into the program). Null for an id that is not among them, or when the templates do not parse,
// which only a broken build can cause.
const DialogTemplate* FindDialogTemplate(int templateId);

}  // namespace vox

#include "ui/dialogs/dialogresources.h"

#include <QtGlobal>

// Resources of a static library need an explicit initialisation, outside any namespace.
static void InitDialogResources() { Q_INIT_RESOURCE(dialogs); }

namespace vox {
namespace {

const DialogTemplateSet& DialogTemplates() {
    static const DialogTemplateSet set = [] {
        InitDialogResources();
        DialogTemplateSet loaded;
        std::string error;
        if (!LoadDialogTemplates(":/dialogs/dialogs.dlg", loaded, error)) loaded.dialogs.clear();
        return loaded;
    }();
    return set;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int templateId) {
    return DialogTemplates().Find(templateId);
}

}  // namespace vox

#pragma once

#include "ui/dialogs/templatedialog.h"
#include "workbench/document.h"

class QTreeWidget;
class QUndoStack;

namespace vox {

// Template 132, "Frag Information": the voice entries of one fragment. Add, Modify (the vox
// index of the selected entry) and Delete change the fragment table at once, each an undoable
// command when the dialog is given an undo stack; OK and Cancel only close. The frame can be
// dragged to another size; the controls keep their places.
class CFragInfoDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 132;
    static constexpr int kNameControl = 1078;
    static constexpr int kListControl = 1079;
    static constexpr int kAddControl = 1075;
    static constexpr int kModifyControl = 1076;
    static constexpr int kDeleteControl = 1077;

    CFragInfoDlg(CVoxbenchDoc& document, int fragment, QWidget* parent, QUndoStack* undo = nullptr);

  private:
    void Fill();
    void OnAdd();
    void OnModify();
    void OnDelete();
    QTreeWidget* List() const;

    int fragment_;
    CVoxbenchDoc& document_;
    QUndoStack* undo_;
};

}  // namespace vox

#pragma once

#include <string>

#include "ui/dialogs/templatedialog.h"
#include "workbench/document.h"

class QTreeWidget;
class QUndoStack;
class QTreeWidgetItem;

namespace vox {

// Template 131, "Eval Information": one eval's alternatives with the phrase of each one's
// fragment, and the eval's name. Add, Modify and Delete change the eval table at once, each an
// undoable command when the dialog is given an undo stack (Cancel does not take them back); only
// the name waits for OK. The window can be dragged larger, never
// smaller than its template: the buttons keep their distance to the right edge and the list
// grows both ways.
class CEvalInfoDlg : public CTemplateDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplate = 131;
    static constexpr int kNameControl = 1072;
    static constexpr int kListControl = 1073;
    static constexpr int kEvalControl = 1079;
    static constexpr int kAddControl = 1075;
    static constexpr int kModifyControl = 1076;
    static constexpr int kDeleteControl = 1077;

    CEvalInfoDlg(CVoxbenchDoc& document, int eval, const std::string& evalName, int voice,
                 QWidget* parent, QUndoStack* undo = nullptr);

    // The name field as confirmed with OK.
    std::string name;

    // The size the dialog opens with: the template enlarged by a fifth on each side.
    static QSize EnlargedSize(QSize templateSize);
    // The String column: its template width plus what the list has grown beyond the width it
    // opened with, so that a larger window shows longer phrases.
    static int StringColumnWidth(int listWidth, int listBaseWidth);

  protected:
    void OnOK() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ArrangeControls();
    void Fill();
    void ShowAlternative(QTreeWidgetItem* row, EvalElement element) const;
    void OnAdd();
    void OnModify();
    void OnDelete();
    // "Changed failed", and why when the reason is plain (the index another alternative has).
    std::string ChangeFailure(const ListRecord& record, int position, EvalElement element) const;
    QTreeWidget* List() const;

    int voice_;
    CVoxbenchDoc& document_;
    int eval_;
    int listBaseWidth_ = 0;
    QUndoStack* undo_;
};

}  // namespace vox

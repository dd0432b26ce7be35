#include "ui/dialogs/cfraginfodlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/dialogs/dialogresources.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/reportlist.h"
#include "ui/dialogs/undocommands.h"
#include "ui/dialogs/wholenumber.h"

namespace vox {
namespace {

const DialogTemplate& FragInfoTemplate() {
    static const DialogTemplate empty;
    const DialogTemplate* found = FindDialogTemplate(CFragInfoDlg::kTemplate);
    return found != nullptr ? *found : empty;
}

}  // namespace

CFragInfoDlg::CFragInfoDlg(CVoxbenchDoc& document, int fragment, QWidget* parent, QUndoStack* undo)
    : CTemplateDialog(FragInfoTemplate(), parent),
      fragment_(fragment),
      document_(document),
      undo_(undo) {
    AllowResize();
    if (QTreeWidget* list = List()) {
        SetupReportList(list, {{"Number", 40}, {"Voice", 40}, {"Index", 40}});
    }
    // A fragment outside the table shows neither a name nor entries.
    ListRecord record;
    if (document_.GetFragRecord(fragment_, record)) {
        if (auto* name = ControlAs<QLineEdit>(kNameControl)) {
            name->setText(QStringLiteral("Frag %1").arg(fragment_));
        }
        Fill();
    }
    const std::pair<int, void (CFragInfoDlg::*)()> commands[] = {
        {kAddControl, &CFragInfoDlg::OnAdd},
        {kModifyControl, &CFragInfoDlg::OnModify},
        {kDeleteControl, &CFragInfoDlg::OnDelete},
    };
    for (const auto& [id, handler] : commands) {
        if (auto* button = ControlAs<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
}

QTreeWidget* CFragInfoDlg::List() const { return ControlAs<QTreeWidget>(kListControl); }

void CFragInfoDlg::Fill() {
    QTreeWidget* list = List();
    if (list == nullptr) return;
    list->clear();
    ListRecord record;
    if (!document_.GetFragRecord(fragment_, record)) return;
    for (int position = 0; position < record.count; ++position) {
        FragElement element;
        if (!document_.GetFragElement(record, position, element)) break;
        InsertReportRow(
            list, position,
            {DecimalText(position), DecimalText(element.voice), DecimalText(element.voxIndex)});
    }
}

void CFragInfoDlg::OnAdd() {
    NumberDialogRequest request;
    request.templateId = kFragElementTemplate;
    request.caption = "Add Frag Element";
    request.fields = {{CFragElementDlg::kVoiceControl, "Voice", 0},
                      {CFragElementDlg::kVoxIndexControl, "Vox Index", 0}};
    const auto answer = document_.GetPrompter().AskNumbers(request);
    if (!answer || answer->size() != 2) return;
    // The table keeps the low 16 bits of both; a voice it has already is refused silently.
    const int voice = LowWord((*answer)[0]);
    const int voxIndex = LowWord((*answer)[1]);
    if (!document_.InsertFragElement(fragment_, voice, voxIndex)) return;
    RecordCommand(undo_, new AddFragmentVoice(document_, fragment_, voice, voxIndex));
    Fill();
}

void CFragInfoDlg::OnModify() {
    QTreeWidget* list = List();
    if (list == nullptr) return;
    const int position = SelectedRowData(list);
    ListRecord record;
    FragElement current;
    if (position < 0 || !document_.GetFragRecord(fragment_, record) ||
        !document_.GetFragElement(record, position, current)) {
        return;
    }
    // Only the vox index changes: a voice is the entry's identity, which Add and Delete handle.
    NumberDialogRequest request;
    request.caption = "Change Vox Index of Voice " + std::to_string(current.voice);
    request.fields = {{CFragElementDlg::kVoxIndexControl, "Vox Index", current.voxIndex}};
    const auto answer = document_.GetPrompter().AskNumbers(request);
    if (!answer || answer->size() != 1) return;
    const int voxIndex = LowWord(answer->front());
    if (!document_.SetFragVoxIndex(fragment_, position, voxIndex)) {
        document_.GetPrompter().ShowMessage("Changed failed");
        return;
    }
    RecordCommand(undo_,
                  new ChangeFragmentVoxIndex(document_, fragment_, position, current, voxIndex));
    Fill();
    if (QTreeWidgetItem* row = list->topLevelItem(position)) row->setSelected(true);
}

void CFragInfoDlg::OnDelete() {
    QTreeWidget* list = List();
    if (list == nullptr) return;
    const int position = SelectedRowData(list);
    if (position < 0) return;
    // No question first: Edit > Undo brings the voice back.
    ListRecord record;
    FragElement current;
    if (!document_.GetFragRecord(fragment_, record) ||
        !document_.GetFragElement(record, position, current) ||
        !document_.RemoveFragElement(fragment_, position)) {
        document_.GetPrompter().ShowMessage("Delete failed");
        return;
    }
    RecordCommand(undo_, new DeleteFragmentVoice(document_, fragment_, position, current));
    Fill();
}

}  // namespace vox

#include "ui/dialogs/cevalinfodlg.h"

#include <QBoxLayout>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <algorithm>

#include "ui/dialogs/dialogresources.h"
#include "ui/dialogs/numberdialogs.h"
#include "ui/dialogs/reportlist.h"
#include "ui/dialogs/undocommands.h"
#include "ui/dialogs/wholenumber.h"

namespace vox {
namespace {

enum Column { kNumberColumn, kIndexColumn, kFragColumn, kStringColumn };

constexpr int kStringWidth = 100;
// What a String cell shows, dimmed, when its fragment has no phrase in the voice. It lives in a
// role of its own: the cell's text stays the empty phrase, for copies and for anyone reading it.
constexpr int kPlaceholderRole = Qt::UserRole + 1;

class PlaceholderDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString placeholder = index.data(kPlaceholderRole).toString();
        if (!option->text.isEmpty() || placeholder.isEmpty()) return;
        option->text = placeholder;
        option->font.setItalic(true);
        const QColor dim = option->palette.color(QPalette::Disabled, QPalette::Text);
        option->palette.setColor(QPalette::Text, dim);
        option->palette.setColor(QPalette::HighlightedText, dim);
    }
};

const DialogTemplate& EvalInfoTemplate() {
    static const DialogTemplate empty;
    const DialogTemplate* found = FindDialogTemplate(CEvalInfoDlg::kTemplate);
    return found != nullptr ? *found : empty;
}

}  // namespace

CEvalInfoDlg::CEvalInfoDlg(CVoxbenchDoc& document, int eval, const std::string& evalName, int voice,
                           QWidget* parent, QUndoStack* undo)
    : CTemplateDialog(EvalInfoTemplate(), parent),
      voice_(voice),
      document_(document),
      eval_(eval),
      undo_(undo) {
    if (auto* edit = ControlAs<QLineEdit>(kNameControl)) {
        edit->setText(QString::fromStdString(evalName));
    }
    if (auto* edit = ControlAs<QLineEdit>(kEvalControl)) edit->setText(DecimalText(eval));
    ArrangeControls();
    if (QTreeWidget* list = List()) {
        SetupReportList(list,
                        {{"Number", 40}, {"Index", 40}, {"Frag", 40}, {"String", kStringWidth}});
        list->setItemDelegateForColumn(kStringColumn, new PlaceholderDelegate(list));
        // The layout has placed the list for the opening size: that width is where the
        // String column's growth is counted from.
        if (layout() != nullptr) layout()->activate();
        listBaseWidth_ = list->width();
        list->installEventFilter(this);
    }
    Fill();
    const std::pair<int, void (CEvalInfoDlg::*)()> commands[] = {
        {kAddControl, &CEvalInfoDlg::OnAdd},
        {kModifyControl, &CEvalInfoDlg::OnModify},
        {kDeleteControl, &CEvalInfoDlg::OnDelete},
    };
    for (const auto& [id, handler] : commands) {
        if (auto* button = ControlAs<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
}

QSize CEvalInfoDlg::EnlargedSize(QSize templateSize) {
    // Each edge moves out by a fifth, in the integer arithmetic the editor has always used.
    const int dx = templateSize.width() * 10 / 50;
    const int dy = templateSize.height() * 10 / 50;
    return templateSize + QSize(2 * dx, 2 * dy);
}

// The template's places, expressed as layouts so that growth goes to the name field and the
// list while the buttons ride along the right edge.
void CEvalInfoDlg::ArrangeControls() {
    const DialogUnits& u = Units();
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(u.X(7), u.Y(7), u.X(7), u.Y(7));
    outer->setSpacing(u.X(10));

    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    auto* evalRow = new QHBoxLayout;
    evalRow->setSpacing(0);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(0);
    for (const auto& [row, labelId, editId] :
         {std::tuple{evalRow, 1078, kEvalControl}, std::tuple{nameRow, 1074, kNameControl}}) {
        QWidget* label = Control(labelId);
        QWidget* edit = Control(editId);
        if (label == nullptr || edit == nullptr) continue;
        label->setFixedWidth(u.X(31));
        row->addWidget(label, 0, Qt::AlignVCenter);
        edit->setFixedHeight(u.Y(13));
        row->addWidget(edit);
    }
    if (QWidget* evalEdit = Control(kEvalControl)) evalEdit->setFixedWidth(u.X(29));
    evalRow->addStretch(1);
    if (QWidget* nameEdit = Control(kNameControl)) {
        // The window's minimum size keeps the template's places; the controls' own minimums
        // only have to stay below them, or rounding would push the layout past the window.
        nameEdit->setMinimumWidth(u.X(40));
        nameEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    nameRow->addSpacing(u.X(16));
    left->addLayout(evalRow);
    left->addSpacing(u.Y(6));
    left->addLayout(nameRow);
    left->addSpacing(u.Y(9));
    if (QWidget* list = Control(kListControl)) {
        list->setMinimumSize(u.X(40), u.Y(20));
        list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        left->addWidget(list, 1);
    }

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    const std::pair<int, int> buttons[] = {
        {1, 0}, {2, 3}, {kAddControl, 18}, {kModifyControl, 6}, {kDeleteControl, 4}};
    for (const auto& [id, gapAbove] : buttons) {
        QWidget* button = Control(id);
        if (button == nullptr) continue;
        if (gapAbove > 0) right->addSpacing(u.Y(gapAbove));
        button->setFixedSize(u.Size(50, 14));
        right->addWidget(button);
    }
    right->addStretch(1);

    outer->addLayout(left, 1);
    outer->addLayout(right, 0);

    setMinimumSize(TemplateSize());
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    resize(EnlargedSize(TemplateSize()));
}

QTreeWidget* CEvalInfoDlg::List() const { return ControlAs<QTreeWidget>(kListControl); }

int CEvalInfoDlg::StringColumnWidth(int listWidth, int listBaseWidth) {
    // Like the list itself, the column never gives up width below the opening size.
    return kStringWidth + std::max(0, listWidth - listBaseWidth);
}

bool CEvalInfoDlg::eventFilter(QObject* watched, QEvent* event) {
    // The type first: a list being destroyed still sends events and must not be cast then.
    QTreeWidget* list = event->type() == QEvent::Resize ? List() : nullptr;
    if (list != nullptr && watched == list) {
        list->header()->resizeSection(kStringColumn,
                                      StringColumnWidth(list->width(), listBaseWidth_));
    }
    return CTemplateDialog::eventFilter(watched, event);
}

void CEvalInfoDlg::ShowAlternative(QTreeWidgetItem* row, EvalElement element) const {
    row->setText(kIndexColumn, DecimalText(element.index));
    row->setText(kFragColumn, DecimalText(element.frag));
    const QString phrase = QString::fromStdString(document_.GetPhrase(element.frag, voice_));
    row->setText(kStringColumn, phrase);
    if (phrase.isEmpty()) {
        const QString none =
            QString("no phrase for fragment %1 in voice %2").arg(element.frag).arg(voice_);
        row->setData(kStringColumn, kPlaceholderRole, QString("(no phrase)"));
        row->setToolTip(kStringColumn, none);
    } else {
        row->setData(kStringColumn, kPlaceholderRole, QVariant());
        row->setToolTip(kStringColumn, phrase);
    }
}

void CEvalInfoDlg::Fill() {
    QTreeWidget* list = List();
    if (list == nullptr) return;
    list->clear();
    ListRecord record;
    if (!document_.GetEvalRecord(eval_, record)) return;
    for (int position = 0; position < record.count; ++position) {
        EvalElement element;
        if (!document_.GetEvalElement(record, position, element)) break;
        QTreeWidgetItem* row = InsertReportRow(list, position, {DecimalText(position)});
        ShowAlternative(row, element);
    }
}

void CEvalInfoDlg::OnOK() {
    if (auto* edit = ControlAs<QLineEdit>(kNameControl)) name = edit->text().toStdString();
    accept();
}

void CEvalInfoDlg::OnAdd() {
    NumberDialogRequest request;
    request.templateId = kEvalElementTemplate;
    request.caption = "Add new element";
    request.fields = {{CEvalElementDlg::kIdControl, "Id", 0},
                      {CEvalElementDlg::kFragmentControl, "Fragment", 0}};
    const auto answer = document_.GetPrompter().AskNumbers(request);
    if (!answer || answer->size() != 2) return;
    const EvalElement element{LowWord((*answer)[0]), LowWord((*answer)[1])};
    // A refused insert (the index exists already) leaves everything as it was, silently.
    if (!document_.InsertEvalElement(eval_, element)) return;
    RecordCommand(undo_, new AddEvalAlternative(document_, eval_, element));
    Fill();
}

void CEvalInfoDlg::OnModify() {
    QTreeWidget* list = List();
    if (list == nullptr || list->selectedItems().isEmpty()) return;
    QTreeWidgetItem* row = list->selectedItems().front();
    const int position = SelectedRowData(list);
    ListRecord record;
    EvalElement current;
    if (!document_.GetEvalRecord(eval_, record) ||
        !document_.GetEvalElement(record, position, current)) {
        return;
    }
    NumberDialogRequest request;
    request.templateId = kEvalElementTemplate;
    request.caption = "Change Element";
    request.fields = {{CEvalElementDlg::kIdControl, "Id", current.index},
                      {CEvalElementDlg::kFragmentControl, "Fragment", current.frag}};
    const auto answer = document_.GetPrompter().AskNumbers(request);
    if (!answer || answer->size() != 2) return;
    const EvalElement element{LowWord((*answer)[0]), LowWord((*answer)[1])};
    // A changed index moves the alternative to its sorted place, and an index that another
    // alternative has is refused: an eval never holds two alternatives with one index.
    const int moved = document_.ChangeEvalElement(eval_, position, element);
    if (moved < 0) {
        document_.GetPrompter().ShowMessage(ChangeFailure(record, position, element));
        return;
    }
    RecordCommand(undo_,
                  new ChangeEvalAlternative(document_, eval_, position, current, moved, element));
    if (moved == position) {
        ShowAlternative(row, element);
        return;
    }
    Fill();
    if (QTreeWidgetItem* movedRow = list->topLevelItem(moved)) movedRow->setSelected(true);
}

std::string CEvalInfoDlg::ChangeFailure(const ListRecord& record, int position,
                                        EvalElement element) const {
    for (int other = 0; other < record.count; ++other) {
        EvalElement taken;
        if (other != position && document_.GetEvalElement(record, other, taken) &&
            taken.index == element.index) {
            return "Changed failed\nIndex " + std::to_string(element.index) +
                   " is already in the list";
        }
    }
    return "Changed failed";
}

void CEvalInfoDlg::OnDelete() {
    QTreeWidget* list = List();
    if (list == nullptr) return;
    const int position = SelectedRowData(list);
    if (position < 0) return;
    // No question first: Edit > Undo brings the alternative back.
    ListRecord record;
    EvalElement current;
    if (!document_.GetEvalRecord(eval_, record) ||
        !document_.GetEvalElement(record, position, current) ||
        !document_.RemoveEvalElement(eval_, position)) {
        document_.GetPrompter().ShowMessage("Delete failed");
        return;
    }
    RecordCommand(undo_, new DeleteEvalAlternative(document_, eval_, position, current));
    Fill();
}

}  // namespace vox

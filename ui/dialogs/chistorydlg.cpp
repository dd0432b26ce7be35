#include "ui/dialogs/chistorydlg.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include "talkdata/bytes.h"
#include "talkdata/talklayout.h"
#include "ui/dialogs/undocommands.h"

namespace vox {
namespace {

// The entry at offset, when its header and coded bytes lie inside the file.
bool EntryAt(ByteSpan talk, uint32_t offset, VoxEntry& out) {
    // 0 is the talk file's header, never an entry.
    if (offset == 0 || uint64_t{offset} + kTalkEntryHeaderSize > talk.size()) return false;
    const uint32_t codedSize = ReadU32(talk.data() + offset + 4);
    if (TalkEntryEnd(offset, codedSize) > talk.size()) return false;
    out.decodedSize = ReadU32(talk.data() + offset);
    out.codedSize = codedSize;
    out.data = talk.data() + offset + kTalkEntryHeaderSize;
    return true;
}

QString SourceText(const TakeSource& source) {
    if (source.name.empty()) return QObject::tr("(before the history)");
    return QString::fromStdString(source.name);
}

}  // namespace

CHistoryDlg::CHistoryDlg(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo,
                         QWidget* parent)
    : QDialog(parent), doc_(doc), fragment_(fragment), voice_(voice), undo_(undo) {
    setObjectName("historyDialog");
    setWindowTitle(tr("History of fragment %1 voice %2").arg(fragment).arg(voice));
    model_ = new QStandardItemModel(0, 5, this);
    model_->setHorizontalHeaderLabels(
        {tr("Take"), tr("When"), tr("Source"), tr("Size"), tr("Current")});
    table_ = new QTableView(this);
    table_->setObjectName("historyTable");
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(kSourceColumn, QHeaderView::Stretch);
    note_ = new QLabel(this);
    note_->setObjectName("historyNote");
    note_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    play_ = buttons->addButton(tr("&Play"), QDialogButtonBox::ActionRole);
    revert_ = buttons->addButton(tr("&Revert"), QDialogButtonBox::ActionRole);
    play_->setObjectName("historyPlay");
    revert_->setObjectName("historyRevert");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(play_, &QPushButton::clicked, this, &CHistoryDlg::PlaySelected);
    connect(revert_, &QPushButton::clicked, this, &CHistoryDlg::RevertSelected);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(note_);
    layout->addWidget(buttons);
    resize(560, 300);
    Fill();
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CHistoryDlg::UpdateButtons);
    UpdateButtons();
}

void CHistoryDlg::Fill() {
    model_->removeRows(0, model_->rowCount());
    const TakesResult result = ListTakes(doc_, fragment_, voice_);
    takes_ = result.takes;
    note_->setText(QString::fromStdString(result.error));
    const ByteSpan talk = doc_.GetVoxFile().Bytes();
    for (size_t i = 0; i < takes_.size(); ++i) {
        const Take& take = takes_[i];
        VoxEntry entry;
        const bool whole = take.present && EntryAt(talk, take.offset, entry);
        const QList<QStandardItem*> row = {
            new QStandardItem(QString::number(i + 1)),
            new QStandardItem(take.time.empty() ? tr("(first)")
                                                : QString::fromStdString(take.time)),
            new QStandardItem(SourceText(take.source)),
            new QStandardItem(whole ? QString::number(entry.codedSize) : tr("dropped by compact")),
            new QStandardItem(take.current ? tr("current") : QString()),
        };
        model_->appendRow(row);
    }
    table_->resizeColumnsToContents();
    UpdateButtons();
}

int CHistoryDlg::SelectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CHistoryDlg::UpdateButtons() {
    const int row = SelectedRow();
    const bool present = row >= 0 && takes_[static_cast<size_t>(row)].present;
    play_->setEnabled(present);
    revert_->setEnabled(present && !takes_[static_cast<size_t>(row)].current);
}

void CHistoryDlg::PlaySelected() {
    const int row = SelectedRow();
    if (row < 0 || !takes_[static_cast<size_t>(row)].present) return;
    VoxEntry entry;
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    if (!EntryAt(doc_.GetVoxFile().Bytes(), takes_[static_cast<size_t>(row)].offset, entry) ||
        !doc_.DecodeEntry(entry, pcm, pcmLen)) {
        doc_.GetPrompter().ShowStatus("Take " + std::to_string(row + 1) + " cannot be played");
        return;
    }
    doc_.PlaySound(std::move(pcm), pcmLen);
}

void CHistoryDlg::RevertSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    const RevertResult result =
        RevertToEntry(doc_, fragment_, voice_, takes_[static_cast<size_t>(row)].offset);
    if (result.moved) {
        RecordCommand(undo_,
                      new PointVoiceSlot(doc_, PointVoiceSlot::RevertText(fragment_, voice_),
                                         fragment_, voice_, result.fromOffset, result.take.offset));
    }
    if (!result.error.empty()) doc_.GetPrompter().ShowMessage(result.error);
    doc_.UpdateAllViews();
    Fill();
}

void RunHistoryDialog(QWidget* parent, CVoxbenchDoc& doc, int fragment, int voice,
                      QUndoStack* undo) {
    CHistoryDlg dialog(doc, fragment, voice, undo, parent);
    dialog.exec();
}

}  // namespace vox

#include "ui/phrasesearchdock.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "workbench/document.h"

namespace vox {

void PhraseMatchModel::SetMatches(std::vector<PhraseMatch> matches) {
    beginResetModel();
    matches_ = std::move(matches);
    endResetModel();
}

int PhraseMatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(matches_.size());
}

int PhraseMatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PhraseMatchModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const PhraseMatch& match = Match(index.row());
    const bool comm = match.kind == PhraseMatch::Kind::Comm;
    switch (index.column()) {
        case kKind:
            return comm ? tr("Comm") : tr("Fragment");
        case kNumber:
            return match.number;
        case kVoice:
            return comm ? QVariant() : QVariant(match.voice);
        case kText:
            return QString::fromStdString(match.text);
        default:
            return {};
    }
}

QVariant PhraseMatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[] = {"", "Number", "Voice", "Phrase"};
    return section >= 0 && section < kColumns ? tr(kTitles[section]) : QVariant();
}

PhraseSearchDock::PhraseSearchDock(CVoxbenchDoc& doc, QWidget* parent)
    : QDockWidget(tr("Search Phrase"), parent), doc_(doc) {
    setObjectName("phraseSearch");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    field_ = new QLineEdit(body);
    field_->setObjectName("phraseSearchField");
    field_->setPlaceholderText(tr("Words of a phrase or comm name"));
    field_->setClearButtonEnabled(true);
    model_ = new PhraseMatchModel(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    results_ = new QTableView(body);
    results_->setObjectName("phraseSearchResults");
    results_->setModel(proxy_);
    results_->setSortingEnabled(true);
    results_->sortByColumn(-1, Qt::AscendingOrder);  // the search's own order until a click
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setSelectionMode(QAbstractItemView::SingleSelection);
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->verticalHeader()->hide();
    results_->horizontalHeader()->setStretchLastSection(true);
    for (int column :
         {PhraseMatchModel::kKind, PhraseMatchModel::kNumber, PhraseMatchModel::kVoice})
        results_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // Room for the kind, the numbers and a phrase of a few words beside the fixed-size form.
    body->setMinimumWidth(body->fontMetrics().averageCharWidth() * 48);
    layout->addWidget(field_);
    layout->addWidget(results_);
    setWidget(body);

    connect(field_, &QLineEdit::textChanged, this, &PhraseSearchDock::Search);
    // Enter in the field takes the first match; in the list, the current one.
    connect(field_, &QLineEdit::returnPressed, this, [this] { Choose(proxy_->index(0, 0)); });
    connect(results_, &QAbstractItemView::activated, this, &PhraseSearchDock::Choose);
}

void PhraseSearchDock::Open() {
    show();
    raise();
    field_->setFocus();
    field_->selectAll();
}

void PhraseSearchDock::Search(const QString& text) {
    model_->SetMatches(
        SearchPhrases(doc_.GetPhrases(), doc_.GetCommNames(), text.trimmed().toStdString()));
    if (proxy_->rowCount() > 0) results_->selectRow(0);
}

void PhraseSearchDock::Choose(const QModelIndex& proxyIndex) {
    if (!proxyIndex.isValid()) return;
    const PhraseMatch& match = model_->Match(proxy_->mapToSource(proxyIndex).row());
    if (match.kind == PhraseMatch::Kind::Comm)
        emit CommChosen(match.number);
    else
        emit PhraseChosen(match.number, match.voice);
}

}  // namespace vox

#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <vector>

#include "lookup/phrasesearch.h"

class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace vox {

class CVoxbenchDoc;

// The matches of a phrase search as a table: what, number, voice and text.
class PhraseMatchModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kKind, kNumber, kVoice, kText, kColumns };

    using QAbstractTableModel::QAbstractTableModel;
    void SetMatches(std::vector<PhraseMatch> matches);
    const PhraseMatch& Match(int row) const { return matches_[static_cast<size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<PhraseMatch> matches_;
};

// A panel beside the form that finds a line by its words: every keystroke searches the phrases
// of every fragment and voice and the comm names; Enter or a double-click on a match asks the
// form to show it.
class PhraseSearchDock : public QDockWidget {
    Q_OBJECT

  public:
    PhraseSearchDock(CVoxbenchDoc& doc, QWidget* parent);
    // Shows the panel with its field focused.
    void Open();
    QLineEdit* Field() const { return field_; }
    QTableView* Results() const { return results_; }

  signals:
    void PhraseChosen(int fragment, int voice);
    void CommChosen(int comm);

  private:
    void Search(const QString& text);
    void Choose(const QModelIndex& proxyIndex);

    CVoxbenchDoc& doc_;
    QLineEdit* field_;
    QTableView* results_;
    PhraseMatchModel* model_;
    QSortFilterProxyModel* proxy_;
};

}  // namespace vox

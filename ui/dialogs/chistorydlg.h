#pragma once

#include <QDialog>
#include <vector>

#include "workbench/document.h"
#include "workbench/takehistory.h"

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QUndoStack;

namespace vox {

// Info > History: the takes one fragment's voice has had, oldest first, with when each came,
// where from, its size and which one the voice holds now. Play plays the selected take;
// Revert puts it back (RevertToEntry, with a history line), as a command on the undo stack.
class CHistoryDlg : public QDialog {
    Q_OBJECT
  public:
    enum Column { kTakeColumn, kWhenColumn, kSourceColumn, kSizeColumn, kCurrentColumn };

    CHistoryDlg(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo, QWidget* parent);

    QTableView* Table() const { return table_; }
    QPushButton* PlayButton() const { return play_; }
    QPushButton* RevertButton() const { return revert_; }
    // The takes as listed, row by row.
    const std::vector<Take>& Takes() const { return takes_; }

    void Fill();
    void PlaySelected();
    void RevertSelected();

  private:
    int SelectedRow() const;
    void UpdateButtons();

    CVoxbenchDoc& doc_;
    int fragment_;
    int voice_;
    QUndoStack* undo_;
    std::vector<Take> takes_;
    QStandardItemModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* revert_ = nullptr;
};

// Info > History for the fragment and voice the form shows.
void RunHistoryDialog(QWidget* parent, CVoxbenchDoc& doc, int fragment, int voice,
                      QUndoStack* undo);

}  // namespace vox

#pragma once

#include <QStringList>
#include <initializer_list>

class QTreeWidget;
class QTreeWidgetItem;

namespace vox {

struct ReportColumn {
    const char* title;
    int width;  // pixels
};

// The report-view lists of the dialogs: single selection, no root decoration, the given
// columns at fixed pixel widths, no sorting.
void SetupReportList(QTreeWidget* list, std::initializer_list<ReportColumn> columns);

// Inserts a row at index position with the cells' texts; its item data (Qt::UserRole of
// column 0) is the position.
QTreeWidgetItem* InsertReportRow(QTreeWidget* list, int position, const QStringList& cells);

// The item data of the selected row, or -1 when no row is selected.
int SelectedRowData(const QTreeWidget* list);

}  // namespace vox

#include "ui/dialogs/reportlist.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

namespace vox {

void SetupReportList(QTreeWidget* list, std::initializer_list<ReportColumn> columns) {
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    list->setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (const ReportColumn& column : columns) titles << QString::fromUtf8(column.title);
    list->setHeaderLabels(titles);
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    int index = 0;
    for (const ReportColumn& column : columns) {
        header->setSectionResizeMode(index, QHeaderView::Interactive);
        // A designed width narrower than its title in this font would clip it ("Numbe").
        const int titleWidth =
            header->fontMetrics().horizontalAdvance(QString::fromUtf8(column.title)) +
            2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        header->resizeSection(index, std::max(column.width, titleWidth));
        ++index;
    }
}

QTreeWidgetItem* InsertReportRow(QTreeWidget* list, int position, const QStringList& cells) {
    auto* item = new QTreeWidgetItem(cells);
    item->setData(0, Qt::UserRole, position);
    list->insertTopLevelItem(position, item);
    return item;
}

int SelectedRowData(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return -1;
    bool ok = false;
    const int data = selected.front()->data(0, Qt::UserRole).toInt(&ok);
    return ok ? data : -1;
}

}  // namespace vox

#pragma once

#include <QDialog>
#include <QString>

namespace vox {

// Shows the findings of a database check as a read-only list that can be scrolled and copied.
class CVerifyReportDlg : public QDialog {
    Q_OBJECT

  public:
    CVerifyReportDlg(const QString& report, QWidget* parent = nullptr);
};

}  // namespace vox

#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>

#include "talkdata/progress.h"

class QProgressDialog;
class QWidget;

namespace vox {

// Progress for a long operation run on the user-interface thread: after a short delay a modal
// progress dialog with a Cancel button appears, and every report lets the window repaint.
// Until the dialog shows, input is held back, so nothing can start a second command in the
// middle of the first.
class LongTask {
  public:
    explicit LongTask(QWidget* parent);
    ~LongTask();
    LongTask(const LongTask&) = delete;
    LongTask& operator=(const LongTask&) = delete;

    // A progress function for one operation; call Finish when the operation has returned.
    ProgressFn Start(const QString& label);
    void Finish();

    // How long an operation runs before the dialog appears.
    static constexpr int kShowAfterMs = 400;

  private:
    bool Report(uint64_t done, uint64_t total);

    QWidget* parent_;
    QString label_;
    QElapsedTimer timer_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace vox

#include "ui/longtask.h"

#include <QApplication>
#include <QProgressDialog>

namespace vox {
namespace {
constexpr int kSteps = 1000;
}

LongTask::LongTask(QWidget* parent) : parent_(parent) {}

LongTask::~LongTask() = default;

ProgressFn LongTask::Start(const QString& label) {
    Finish();
    label_ = label;
    timer_.start();
    return [this](uint64_t done, uint64_t total) { return Report(done, total); };
}

void LongTask::Finish() { dialog_.reset(); }

bool LongTask::Report(uint64_t done, uint64_t total) {
    if (!dialog_ && timer_.elapsed() >= kShowAfterMs) {
        dialog_ =
            std::make_unique<QProgressDialog>(label_, QObject::tr("Cancel"), 0, kSteps, parent_);
        dialog_->setWindowTitle(QApplication::applicationName());
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
    }
    if (!dialog_) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    }
    const uint64_t step = total == 0 ? kSteps : std::min<uint64_t>(kSteps, done * kSteps / total);
    dialog_->setValue(static_cast<int>(step));
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}

}  // namespace vox

#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/templates/dialogbuilder.h"

namespace vox::test {

// Answers the next modal dialog from inside its exec(): the action runs once on the first
// modal widget that appears after the call (a widget other than `except`, which is the dialog
// already open when the next one is nested in it). A watchdog rejects every modal widget after
// timeoutMs, so a failed check can never leave a test blocked.
class ModalDriver {
  public:
    // Disarms a driver whose dialog never came, so it cannot answer a later test's dialog.
    ~ModalDriver() { delete timer_.data(); }

    using Action = std::function<void(QWidget*)>;

    // Arms the driver; returns at once.
    void WhenModalOpens(Action action, QWidget* except = nullptr, int timeoutMs = 5000);

    bool Ran() const { return *ran_; }
    bool TimedOut() const { return *timedOut_; }

  private:
    QPointer<QTimer> timer_;
    std::shared_ptr<bool> ran_ = std::make_shared<bool>(false);
    std::shared_ptr<bool> timedOut_ = std::make_shared<bool>(false);
};

// Closes every open modal widget with reject(); for watchdogs and cleanup.
void RejectAllModals();

// A control of a dialog built from a template, and a mouse click on a button of one.
template <typename T>
T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}
void Click(QWidget* dialog, int id);

}  // namespace vox::test

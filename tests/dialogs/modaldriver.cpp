#include "tests/dialogs/modaldriver.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

namespace vox::test {

void RejectAllModals() {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal) break;  // would not close
    }
}

void Click(QWidget* dialog, int id) {
    QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton);
}

void ModalDriver::WhenModalOpens(Action action, QWidget* except, int timeoutMs) {
    delete timer_.data();
    *ran_ = *timedOut_ = false;
    auto* timer = new QTimer(qApp);
    timer_ = timer;
    QElapsedTimer clock;
    clock.start();
    const auto watch = [=, skip = QPointer<QWidget>(except), ran = ran_, timedOut = timedOut_] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool came = modal != nullptr && modal != skip.data() && modal->isVisible();
        if (!came && !clock.hasExpired(timeoutMs)) return;
        timer->stop();
        timer->deleteLater();
        if (!came) {
            *timedOut = true;
            RejectAllModals();
            return;
        }
        *ran = true;
        // A failed check inside the action returns early and leaves the dialog open; this
        // closes it after the time limit.
        QTimer::singleShot(timeoutMs, qApp, [handled = QPointer<QWidget>(modal), timedOut] {
            if (handled && handled->isVisible()) {
                *timedOut = true;
                RejectAllModals();
            }
        });
        action(modal);
    };
    QObject::connect(timer, &QTimer::timeout, timer, watch);
    timer->start(10);
}

}  // namespace vox::test

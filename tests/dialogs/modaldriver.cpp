#include "tests/dialogs/modaldriver.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

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

ModalDriver::~ModalDriver() { delete timer_.data(); }

void ModalDriver::WhenModalOpens(Action action, QWidget* except, int timeoutMs) {
    delete timer_.data();
    *ran_ = false;
    *timedOut_ = false;
    auto* timer = new QTimer(qApp);
    timer_ = timer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skip(except);
    auto ran = ran_;
    auto timedOut = timedOut_;
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, clock, skip, ran, timedOut, action = std::move(action), timeoutMs] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal != nullptr && modal != skip.data() && modal->isVisible()) {
                             timer->stop();
                             timer->deleteLater();
                             *ran = true;
                             // A failed check inside the action returns early and leaves the
                             // dialog open; this closes it after the time limit.
                             QTimer::singleShot(timeoutMs, qApp,
                                                [handled = QPointer<QWidget>(modal), timedOut] {
                                                    if (handled && handled->isVisible()) {
                                                        *timedOut = true;
                                                        RejectAllModals();
                                                    }
                                                });
                             action(modal);
                             return;
                         }
                         if (clock->elapsed() > timeoutMs) {
                             timer->stop();
                             timer->deleteLater();
                             *timedOut = true;
                             RejectAllModals();
                         }
                     });
    timer->start(10);
}

}  // namespace vox::test

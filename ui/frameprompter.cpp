#include "ui/frameprompter.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

namespace vox {

Answer FramePrompter::AskYesNoCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, kCaption, QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

void FramePrompter::ShowStatus(const std::string& text) {
    // Until the next status tip or message takes its place, as the frame's own prompts do.
    if (auto* frame = qobject_cast<QMainWindow*>(parent_))
        frame->statusBar()->showMessage(QString::fromStdString(text));
}

}  // namespace vox

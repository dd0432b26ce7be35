#include "ui/frameprompter.h"

#include <QMessageBox>

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

}  // namespace vox

#include "ui/cverifyreportdlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vox {

CVerifyReportDlg::CVerifyReportDlg(const QString& report, QWidget* parent) : QDialog(parent) {
    setObjectName("verifyReport");
    setWindowTitle(QApplication::applicationName());
    auto* text = new QPlainTextEdit(report, this);
    text->setObjectName("verifyText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(640, 360);
}

}  // namespace vox

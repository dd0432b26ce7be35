#include "ui/caboutdlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "ui/templates/dialogbuilder.h"

namespace vox {
namespace {
constexpr int kIconId = 2;
constexpr int kOkId = 1;
}  // namespace

CAboutDlg::CAboutDlg(const DialogTemplateSet& templates, QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    const DialogTemplate* dialog = templates.Find(kTemplate);
    if (!dialog) return;
    setWindowTitle(QString::fromStdString(dialog->caption));
    const DialogUnits units = DialogUnits::ForWidget(this);
    setFont(units.DialogFont());
    auto controls = BuildDialogControls(this, *dialog, units);
    setFixedSize(units.Size(dialog->width, dialog->height));
    if (auto* icon = qobject_cast<QLabel*>(controls[kIconId])) {
        icon->setPixmap(QApplication::windowIcon().pixmap(icon->size()));
    }
    if (auto* ok = qobject_cast<QPushButton*>(controls[kOkId])) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

}  // namespace vox

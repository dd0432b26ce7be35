#include "ui/dialogs/templatedialog.h"

#include <QPushButton>

namespace vox {

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), template_(dialogTemplate), units_(DialogUnits::ForWidget(parent)) {
    setWindowTitle(QString::fromStdString(template_.caption));
    setFont(units_.DialogFont());
    controls_ = BuildDialogControls(this, template_, units_);
    setFixedSize(TemplateSize());
    if (auto* ok = ControlAs<QPushButton>(1)) {
        connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    }
    if (auto* cancel = ControlAs<QPushButton>(2)) {
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
}

QWidget* CTemplateDialog::Control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QSize CTemplateDialog::TemplateSize() const {
    return units_.Size(template_.width, template_.height);
}

void CTemplateDialog::AllowResize() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(TemplateSize());
}

QString DecimalText(long long value) { return QString::number(value); }

}  // namespace vox

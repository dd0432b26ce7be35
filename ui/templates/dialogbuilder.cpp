#include "ui/templates/dialogbuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QTreeWidget>
#include <cmath>

namespace vox {
namespace {

// Buttons have no word wrap of their own; a multi-line button gets its line breaks here.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width) {
    const QStringList words = text.split(' ', Qt::SkipEmptyParts);
    QString wrapped;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + ' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            wrapped += line + '\n';
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

QWidget* MakeEdit(QWidget* parent, const ControlTemplate& control) {
    if (control.multiLine) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setReadOnly(control.readOnly);
        edit->setPlainText(QString::fromStdString(control.text));
        return edit;
    }
    auto* edit = new QLineEdit(QString::fromStdString(control.text), parent);
    edit->setReadOnly(control.readOnly);
    if (control.digitsOnly) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    }
    if (control.alignRight) edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}

QWidget* MakeButton(QWidget* parent, const ControlTemplate& control, const QRect& rect,
                    const QFont& font) {
    QString text = QString::fromStdString(control.text);
    auto* button = new QPushButton(parent);
    if (control.multiLine) text = WrapToWidth(text, QFontMetrics(font), rect.width() - 6);
    button->setText(text);
    button->setAutoDefault(false);
    button->setDefault(control.kind == ControlKind::DefaultButton);
    return button;
}

QWidget* MakeLabel(QWidget* parent, const ControlTemplate& control) {
    auto* label = new QLabel(QString::fromStdString(control.text), parent);
    label->setAlignment((control.alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    label->setWordWrap(control.multiLine);
    return label;
}

// A group's frame runs through the middle of its title, as the templates' positions assume:
// the controls just under a group's top edge sit inside the frame, not across it.
QWidget* MakeGroup(QWidget* parent, const QString& title) {
    auto* group = new QGroupBox(title, parent);
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
    return group;
}

QWidget* MakeReport(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    return list;
}

QWidget* MakeControl(QWidget* parent, const ControlTemplate& control, const QRect& rect,
                     const QFont& font) {
    const QString text = QString::fromStdString(control.text);
    switch (control.kind) {
        case ControlKind::Label:
            return MakeLabel(parent, control);
        case ControlKind::Group:
            return MakeGroup(parent, text);
        case ControlKind::Edit:
            return MakeEdit(parent, control);
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            return MakeButton(parent, control, rect, font);
        case ControlKind::Check:
            return new QCheckBox(text, parent);
        case ControlKind::Radio:
            return new QRadioButton(text, parent);
        case ControlKind::Combo:
            return new QComboBox(parent);
        case ControlKind::List:
            return new QListWidget(parent);
        case ControlKind::Report:
            return MakeReport(parent);
    }
    return new QWidget(parent);
}

}  // namespace

DialogUnits DialogUnits::ForWidget(const QWidget* widget) {
    // The average width over the letters, as the classic platform measures its dialog font.
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFont font = DialogUnits().DialogFont();
    const QFontMetricsF metrics = widget ? QFontMetricsF(font, widget) : QFontMetricsF(font);
    const double width = metrics.horizontalAdvance(kLetters) / kLetters.size();
    const double height = metrics.height();
    if (width <= 0 || height <= 0) return DialogUnits();
    return DialogUnits(std::max(width, double{kBaseWidth}), std::max(height, double{kBaseHeight}));
}

int DialogUnits::X(int units) const {
    return static_cast<int>(std::lround(units * baseWidth_ / 4.0));
}

int DialogUnits::Y(int units) const {
    return static_cast<int>(std::lround(units * baseHeight_ / 8.0));
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    // Both edges are converted, so that controls that touch in units touch in pixels too.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QRect DialogUnits::Rect(const ControlTemplate& control) const {
    return Rect(control.x, control.y, control.width, control.height);
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

QFont DialogUnits::DialogFont() const {
    QFont font("DejaVu Sans Condensed");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.0);
    return font;
}

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

std::map<int, QWidget*> BuildDialogControls(QWidget* parent, const DialogTemplate& dialog,
                                            const DialogUnits& units) {
    std::map<int, QWidget*> byId;
    const QFont font = units.DialogFont();
    for (const ControlTemplate& control : dialog.controls) {
        const QRect rect = units.Rect(control);
        QWidget* widget = MakeControl(parent, control, rect, font);
        widget->setFont(font);
        widget->setGeometry(rect);
        widget->setEnabled(!control.disabled);
        widget->setVisible(!control.hidden);
        if (control.id >= 0) {
            widget->setObjectName(ControlName(control.id));
            byId[control.id] = widget;
        }
    }
    return byId;
}

}  // namespace vox

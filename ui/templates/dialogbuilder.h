#pragma once

#include <QFont>
#include <QRect>
#include <map>

#include "ui/templates/dialogtemplate.h"

class QWidget;

namespace vox {

// Dialog units to pixels. The base units are the dialog font's own average character width
// and height on the widget's screen, so that a caption laid out for the classic 8 pt face fits
// whichever face and DPI this machine has; QT_SCALE_FACTOR scales the result as a whole.
class DialogUnits {
  public:
    static constexpr int kBaseWidth = 6;
    static constexpr int kBaseHeight = 13;

    // The classic font's base units (6 x 13 pixels) times scale.
    explicit DialogUnits(double scale = 1.0)
        : baseWidth_(kBaseWidth * scale), baseHeight_(kBaseHeight * scale), scale_(scale) {}
    DialogUnits(double baseWidth, double baseHeight)
        : baseWidth_(baseWidth), baseHeight_(baseHeight), scale_(baseHeight / kBaseHeight) {}
    // From the dialog font's metrics on the screen the widget is on.
    static DialogUnits ForWidget(const QWidget* widget);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QRect Rect(const ControlTemplate& control) const;
    QSize Size(int width, int height) const;
    double Scale() const { return scale_; }

    // A condensed 8 pt face whose text fits fields measured in these units.
    QFont DialogFont() const;

  private:
    double baseWidth_;
    double baseHeight_;
    double scale_ = 1.0;
};

// The object name of the widget for control id: "ctl1000".
QString ControlName(int id);

// Creates the template's controls as children of parent in template order (so a group frame
// lies under the controls drawn inside it), places them by their dialog-unit rectangles and
// applies the flags. Widgets: label QLabel, group QGroupBox, edit QLineEdit (multiline:
// QPlainTextEdit), button/defbutton QPushButton, check QCheckBox, radio QRadioButton, combo
// QComboBox, list QListWidget, report QTreeWidget without root decoration. Digits-only edits get
// a validator that lets only digits be typed (text set from code is not checked). Each control
// with an id is named ControlName(id). Returns the controls that have ids, by id.
std::map<int, QWidget*> BuildDialogControls(QWidget* parent, const DialogTemplate& dialog,
                                            const DialogUnits& units);

}  // namespace vox

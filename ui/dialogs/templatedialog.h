#pragma once

#include <QDialog>
#include <map>

#include "ui/templates/dialogbuilder.h"
#include "ui/templates/dialogtemplate.h"

namespace vox {

// A modal dialog whose controls come from a dialog template: the controls are built at their
// template places, the caption is the template's, OK (id 1) runs OnOK and Cancel (id 2)
// rejects. The dialog is fixed-size unless the subclass says otherwise.
class CTemplateDialog : public QDialog {
    Q_OBJECT
  public:
    CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

    QWidget* Control(int id) const;
    template <typename T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // The template's size in pixels.
    QSize TemplateSize() const;

  protected:
    virtual void OnOK() { accept(); }
    // Lets the frame be dragged to another size; the controls keep their places.
    void AllowResize();

    const DialogTemplate& Template() const { return template_; }
    const DialogUnits& Units() const { return units_; }

  private:
    DialogTemplate template_;
    DialogUnits units_;
    std::map<int, QWidget*> controls_;
};

// Text for a line edit or a cell: numbers are shown in signed decimal.
QString DecimalText(long long value);

}  // namespace vox

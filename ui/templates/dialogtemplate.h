#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vox {

// Dialog templates kept as data: the controls of a form or dialog with their ids, kinds, texts
// and positions in dialog units. The text format, one statement per line:
//
//   # a comment; blank lines are ignored
//   dialog ID WIDTH HEIGHT "Caption"
//   KIND ID X Y W H FLAGS "Text"
//   row KIND FIRSTID Y W H FLAGS "Text" X0 X1 X2 ...
//
// - A file holds one or more dialogs; each control belongs to the dialog line above it.
// - Numbers are decimal. Positions and sizes are dialog units (x, w in quarters of the base
//   width, y, h in eighths of the base height).
// - ID is a whole number, or "-" for a control that has no id (labels, frames).
// - KIND is one of: label, group, edit, button, defbutton, check, radio, combo, list (a one
//   column list box), report (a list with columns, report view).
// - FLAGS is "-" or a comma-separated list of: readonly, digits (the edit takes only digits),
//   multiline, disabled, hidden, right (right-aligned text).
// - Text is always written, in double quotes ("" for none); inside it \" is a quote, \\ a
//   backslash, \n a line break and \t a tab.
// - "row" is a run of equal controls side by side: control i (from 0) gets the id FIRSTID + i
//   (or no id when FIRSTID is "-") and the x position Xi, all on the same Y.

enum class ControlKind {
    Label,
    Group,
    Edit,
    Button,
    DefaultButton,
    Check,
    Radio,
    Combo,
    List,
    Report
};

struct ControlTemplate {
    ControlKind kind = ControlKind::Label;
    int id = -1;  // -1: no id
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool readOnly = false;
    bool digitsOnly = false;
    bool multiLine = false;
    bool disabled = false;
    bool hidden = false;
    bool alignRight = false;
    std::string text;
};

struct DialogTemplate {
    int id = 0;
    int width = 0;
    int height = 0;
    std::string caption;
    std::vector<ControlTemplate> controls;

    // The control with this id, or null.
    const ControlTemplate* Find(int controlId) const;
};

struct DialogTemplateSet {
    std::vector<DialogTemplate> dialogs;

    // The dialog with this id, or null.
    const DialogTemplate* Find(int dialogId) const;
};

// Parses the text format above. On failure returns false and error names the line and what was
// wrong with it ("line 12: unknown flag 'bold'"); out is then left empty.
bool ParseDialogTemplates(std::span<const uint8_t> text, DialogTemplateSet& out,
                          std::string& error);

// Reads a file (or a Qt resource path such as ":/templates/form.dlg") and parses it.
bool LoadDialogTemplates(const std::string& path, DialogTemplateSet& out, std::string& error);

}  // namespace vox

#include "ui/templates/dialogtemplate.h"

#include <charconv>
#include <optional>

#include "ui/templates/resourcefile.h"
#include "ui/templates/resourcetext.h"

namespace vox {
namespace {

// Dialog units of a real template stay far below this; anything larger is a typing error.
constexpr int kMaxUnits = 4096;
constexpr int kMaxId = 65535;

struct KindName {
    const char* name;
    ControlKind kind;
};

constexpr KindName kKinds[] = {
    {"label", ControlKind::Label},
    {"group", ControlKind::Group},
    {"edit", ControlKind::Edit},
    {"button", ControlKind::Button},
    {"defbutton", ControlKind::DefaultButton},
    {"check", ControlKind::Check},
    {"radio", ControlKind::Radio},
    {"combo", ControlKind::Combo},
    {"list", ControlKind::List},
    {"report", ControlKind::Report},
};

std::optional<int> ParseNumber(const ResourceToken& token, int low, int high) {
    if (token.quoted) return std::nullopt;
    int value = 0;
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || value < low || value > high) return std::nullopt;
    return value;
}

bool ParseId(const ResourceToken& token, int& id, std::string& error) {
    if (!token.quoted && token.text == "-") {
        id = -1;
        return true;
    }
    const auto value = ParseNumber(token, 0, kMaxId);
    if (!value) {
        error = "bad id '" + token.text + "'";
        return false;
    }
    id = *value;
    return true;
}

bool ParseUnits(const ResourceToken& token, int& out, std::string& error) {
    const auto value = ParseNumber(token, 0, kMaxUnits);
    if (!value) {
        error = "bad dialog-unit value '" + token.text + "'";
        return false;
    }
    out = *value;
    return true;
}

bool ParseKind(const ResourceToken& token, ControlKind& kind, std::string& error) {
    for (const KindName& entry : kKinds) {
        if (!token.quoted && token.text == entry.name) {
            kind = entry.kind;
            return true;
        }
    }
    error = "unknown control kind '" + token.text + "'";
    return false;
}

bool ApplyFlag(const std::string& flag, ControlTemplate& control) {
    if (flag == "readonly")
        control.readOnly = true;
    else if (flag == "digits")
        control.digitsOnly = true;
    else if (flag == "multiline")
        control.multiLine = true;
    else if (flag == "disabled")
        control.disabled = true;
    else if (flag == "hidden")
        control.hidden = true;
    else if (flag == "right")
        control.alignRight = true;
    else
        return false;
    return true;
}

bool ParseFlags(const ResourceToken& token, ControlTemplate& control, std::string& error) {
    if (token.quoted) {
        error = "flags must not be quoted";
        return false;
    }
    if (token.text == "-") return true;
    size_t start = 0;
    while (start <= token.text.size()) {
        size_t comma = token.text.find(',', start);
        if (comma == std::string::npos) comma = token.text.size();
        const std::string flag = token.text.substr(start, comma - start);
        if (!ApplyFlag(flag, control)) {
            error = "unknown flag '" + flag + "'";
            return false;
        }
        start = comma + 1;
    }
    return true;
}

bool ExpectText(const ResourceToken& token, std::string& out, std::string& error) {
    if (!token.quoted) {
        error = "text must be in double quotes";
        return false;
    }
    out = token.text;
    return true;
}

bool ParseDialogLine(const std::vector<ResourceToken>& t, DialogTemplateSet& set,
                     std::string& error) {
    if (t.size() != 5) {
        error = "a dialog line has an id, a width, a height and a caption";
        return false;
    }
    DialogTemplate dialog;
    const auto id = ParseNumber(t[1], 0, kMaxId);
    if (!id) {
        error = "bad dialog id '" + t[1].text + "'";
        return false;
    }
    dialog.id = *id;
    if (set.Find(dialog.id)) {
        error = "dialog " + t[1].text + " defined twice";
        return false;
    }
    if (!ParseUnits(t[2], dialog.width, error) || !ParseUnits(t[3], dialog.height, error) ||
        !ExpectText(t[4], dialog.caption, error)) {
        return false;
    }
    set.dialogs.push_back(std::move(dialog));
    return true;
}

bool AddControl(DialogTemplate& dialog, ControlTemplate control, std::string& error) {
    if (control.id >= 0 && dialog.Find(control.id)) {
        error = "control id " + std::to_string(control.id) + " used twice";
        return false;
    }
    dialog.controls.push_back(std::move(control));
    return true;
}

bool ParseControlLine(const std::vector<ResourceToken>& t, DialogTemplate& dialog,
                      std::string& error) {
    if (t.size() != 8) {
        error = "a control line has kind, id, x, y, width, height, flags and text";
        return false;
    }
    ControlTemplate control;
    if (!ParseKind(t[0], control.kind, error) || !ParseId(t[1], control.id, error) ||
        !ParseUnits(t[2], control.x, error) || !ParseUnits(t[3], control.y, error) ||
        !ParseUnits(t[4], control.width, error) || !ParseUnits(t[5], control.height, error) ||
        !ParseFlags(t[6], control, error) || !ExpectText(t[7], control.text, error)) {
        return false;
    }
    return AddControl(dialog, std::move(control), error);
}

bool ParseRowLine(const std::vector<ResourceToken>& t, DialogTemplate& dialog, std::string& error) {
    if (t.size() < 9) {
        error = "a row line has kind, first id, y, width, height, flags, text and x positions";
        return false;
    }
    ControlTemplate model;
    int firstId = -1;
    if (!ParseKind(t[1], model.kind, error) || !ParseId(t[2], firstId, error) ||
        !ParseUnits(t[3], model.y, error) || !ParseUnits(t[4], model.width, error) ||
        !ParseUnits(t[5], model.height, error) || !ParseFlags(t[6], model, error) ||
        !ExpectText(t[7], model.text, error)) {
        return false;
    }
    for (size_t i = 8; i < t.size(); ++i) {
        ControlTemplate control = model;
        if (!ParseUnits(t[i], control.x, error)) return false;
        const int offset = static_cast<int>(i - 8);
        if (firstId >= 0 && firstId + offset > kMaxId) {
            error = "row ids run past " + std::to_string(kMaxId);
            return false;
        }
        control.id = firstId >= 0 ? firstId + offset : -1;
        if (!AddControl(dialog, std::move(control), error)) return false;
    }
    return true;
}

bool ParseLine(const std::vector<ResourceToken>& tokens, DialogTemplateSet& set,
               std::string& error) {
    if (tokens[0].Is("dialog")) return ParseDialogLine(tokens, set, error);
    if (set.dialogs.empty()) {
        error = "control before the first dialog line";
        return false;
    }
    if (tokens[0].Is("row")) return ParseRowLine(tokens, set.dialogs.back(), error);
    return ParseControlLine(tokens, set.dialogs.back(), error);
}

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    for (const ControlTemplate& control : controls) {
        if (control.id == controlId) return &control;
    }
    return nullptr;
}

const DialogTemplate* DialogTemplateSet::Find(int dialogId) const {
    for (const DialogTemplate& dialog : dialogs) {
        if (dialog.id == dialogId) return &dialog;
    }
    return nullptr;
}

bool ParseDialogTemplates(std::span<const uint8_t> text, DialogTemplateSet& out,
                          std::string& error) {
    out.dialogs.clear();
    DialogTemplateSet set;
    const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    const bool parsed = ForEachResourceLine(
        all, error, [&set](const std::vector<ResourceToken>& tokens, std::string& lineError) {
            return ParseLine(tokens, set, lineError);
        });
    if (!parsed) return false;
    if (set.dialogs.empty()) {
        error = "no dialog in the text";
        return false;
    }
    out = std::move(set);
    return true;
}

bool LoadDialogTemplates(const std::string& path, DialogTemplateSet& out, std::string& error) {
    out.dialogs.clear();
    return ParseResourceFile(
        path,
        [&out](std::span<const uint8_t> bytes, std::string& why) {
            return ParseDialogTemplates(bytes, out, why);
        },
        error);
}

}  // namespace vox

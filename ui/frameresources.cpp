#include "ui/frameresources.h"

#include <charconv>

#include "ui/templates/resourcefile.h"
#include "ui/templates/resourcetext.h"

namespace vox {
namespace {

bool ParseCommandId(const ResourceToken& token, int& id, std::string& error) {
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    const auto [end, ec] = std::from_chars(first, last, id);
    if (token.quoted || ec != std::errc() || end != last || id <= 0 || id > 65535) {
        error = "bad command id '" + token.text + "'";
        return false;
    }
    return true;
}

bool Expect(const std::vector<ResourceToken>& t, size_t count, bool quotedLast,
            std::string& error) {
    if (t.size() != count || (quotedLast && !t.back().quoted)) {
        error = "'" + t[0].text + "' expects " + std::to_string(count - 1) + " value(s)" +
                (quotedLast ? ", the last in double quotes" : "");
        return false;
    }
    return true;
}

bool AddMenuEntry(const std::vector<ResourceToken>& t, FrameResources& out, std::string& error) {
    if (out.menus.empty()) {
        error = "'" + t[0].text + "' before the first popup";
        return false;
    }
    MenuEntry entry;
    if (t[0].Is("separator")) {
        entry.kind = MenuEntry::Kind::Separator;
        if (!Expect(t, 1, false, error)) return false;
    } else if (t[0].Is("recent")) {
        entry.kind = MenuEntry::Kind::RecentFiles;
        if (!Expect(t, 2, false, error) || !ParseCommandId(t[1], entry.id, error)) return false;
    } else {
        if (!Expect(t, 3, true, error) || !ParseCommandId(t[1], entry.id, error)) return false;
        entry.text = t[2].text;
    }
    out.menus.back().entries.push_back(std::move(entry));
    return true;
}

bool ParseToolbar(const std::vector<ResourceToken>& t, FrameResources& out, std::string& error) {
    for (size_t i = 1; i < t.size(); ++i) {
        int id = 0;
        if (!t[i].Is("-") && !ParseCommandId(t[i], id, error)) return false;
        out.toolbar.push_back(id);
    }
    return true;
}

bool ParseStatement(const std::vector<ResourceToken>& t, FrameResources& out, std::string& error) {
    if (t[0].Is("popup")) {
        if (!Expect(t, 2, true, error)) return false;
        out.menus.push_back(MenuPopup{t[1].text, {}});
        return true;
    }
    if (t[0].Is("item") || t[0].Is("separator") || t[0].Is("recent")) {
        return AddMenuEntry(t, out, error);
    }
    if (t[0].Is("toolbar")) return ParseToolbar(t, out, error);
    if (t[0].Is("accel") || t[0].Is("prompt")) {
        int id = 0;
        if (!Expect(t, 3, true, error) || !ParseCommandId(t[1], id, error)) return false;
        if (t[0].Is("accel"))
            out.accelerators.push_back(Accelerator{id, t[2].text});
        else
            out.prompts[id] = t[2].text;
        return true;
    }
    error = "unknown statement '" + t[0].text + "'";
    return false;
}

}  // namespace

std::string FrameResources::StatusPrompt(int id) const {
    const auto it = prompts.find(id);
    if (it == prompts.end()) return "";
    return it->second.substr(0, it->second.find('\n'));
}

std::string FrameResources::ToolTip(int id) const {
    const auto it = prompts.find(id);
    if (it == prompts.end()) return "";
    const size_t newline = it->second.find('\n');
    return newline == std::string::npos ? "" : it->second.substr(newline + 1);
}

bool ParseFrameResources(std::span<const uint8_t> text, FrameResources& out, std::string& error) {
    out = FrameResources();
    FrameResources parsed;
    const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    const bool ok = ForEachResourceLine(
        all, error, [&parsed](const std::vector<ResourceToken>& tokens, std::string& lineError) {
            return ParseStatement(tokens, parsed, lineError);
        });
    if (!ok) return false;
    out = std::move(parsed);
    return true;
}

bool LoadFrameResources(const std::string& path, FrameResources& out, std::string& error) {
    out = FrameResources();
    return ParseResourceFile(
        path,
        [&out](std::span<const uint8_t> bytes, std::string& why) {
            return ParseFrameResources(bytes, out, why);
        },
        error);
}

}  // namespace vox

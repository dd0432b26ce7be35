#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace vox {

// The main frame's menu, accelerators, toolbar and command prompts, kept as data in
// resources/mainframe.txt (its header describes the format).
struct MenuEntry {
    enum class Kind { Command, Separator, RecentFiles };
    Kind kind = Kind::Command;
    int id = 0;
    std::string text;  // "&Open...\tCtrl+O": the text, a tab, the shortcut it shows
};

struct MenuPopup {
    std::string text;
    std::vector<MenuEntry> entries;
};

struct Accelerator {
    int id = 0;
    std::string keys;  // "Ctrl+A", as QKeySequence reads it
};

struct FrameResources {
    std::vector<MenuPopup> menus;
    std::vector<Accelerator> accelerators;
    std::vector<int> toolbar;  // command ids; 0 is a gap
    std::map<int, std::string> prompts;

    // The status-bar prompt and the tooltip of a command (empty when there is none).
    std::string StatusPrompt(int id) const;
    std::string ToolTip(int id) const;
};

bool ParseFrameResources(std::span<const uint8_t> text, FrameResources& out, std::string& error);
bool LoadFrameResources(const std::string& path, FrameResources& out, std::string& error);

}  // namespace vox

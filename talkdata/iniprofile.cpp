#include "talkdata/iniprofile.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "talkdata/safefile.h"

namespace vox {
namespace {

// Values are single lines in the file; a value holding a line break or a backslash is escaped
// so that any text (a path with odd characters, a typed name) survives the round trip.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'n')
            out += '\n';
        else if (next == 'r')
            out += '\r';
        else
            out += next;
    }
    return out;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

IniProfile::IniProfile(std::string path, bool readOnly)
    : path_(std::move(path)), readOnly_(readOnly) {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    ParseText(text.str());
}

std::string IniProfile::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : ".") + "/.config";
    }
    return base + "/Voxbench/voxbench.ini";
}

void IniProfile::ParseText(const std::string& text) {
    sections_.clear();
    sectionIndex_.clear();
    Section* current = nullptr;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
        if (trimmed.front() == '[' && trimmed.back() == ']') {
            current = &FindOrAddSection(trimmed.substr(1, trimmed.size() - 2));
            continue;
        }
        const size_t equals = line.find('=');
        if (current == nullptr || equals == std::string::npos) continue;
        // The value is taken as written (only the line end dropped): a name may end in blanks.
        std::string raw = line.substr(equals + 1);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        SetValue(*current, Trim(line.substr(0, equals)), Unescape(raw));
    }
}

std::string IniProfile::ToText() const {
    std::string out;
    for (const Section& section : sections_) {
        if (!out.empty()) out += '\n';
        out += '[' + section.name + "]\n";
        for (const auto& [key, value] : section.values) out += key + '=' + Escape(value) + '\n';
    }
    return out;
}

IniProfile::Section* IniProfile::FindSection(const std::string& name) {
    const auto found = sectionIndex_.find(name);
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const IniProfile::Section* IniProfile::FindSection(const std::string& name) const {
    const auto found = sectionIndex_.find(name);
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniProfile::Section& IniProfile::FindOrAddSection(const std::string& name) {
    const auto [where, added] = sectionIndex_.try_emplace(name, sections_.size());
    if (added) sections_.push_back({name, {}, {}});
    return sections_[where->second];
}

bool IniProfile::SetValue(Section& section, const std::string& key, const std::string& value) {
    const auto [where, added] = section.keyIndex.try_emplace(key, section.values.size());
    if (added) {
        section.values.emplace_back(key, value);
        return true;
    }
    std::string& stored = section.values[where->second].second;
    if (stored == value) return false;
    stored = value;
    return true;
}

std::string IniProfile::GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return defaultValue;
    const auto entry = found->keyIndex.find(key);
    return entry == found->keyIndex.end() ? defaultValue : found->values[entry->second].second;
}

bool IniProfile::Has(const std::string& section, const std::string& key) const {
    const Section* found = FindSection(section);
    return found != nullptr && found->keyIndex.count(key) != 0;
}

void IniProfile::WriteString(const std::string& section, const std::string& key,
                             const std::string& value) {
    // Keys and section names come from the program, never from a user; a line break in one
    // would split the file, so it is dropped.
    auto clean = [](std::string text) {
        std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == '='; });
        return text;
    };
    if (SetValue(FindOrAddSection(clean(section)), clean(key), value)) dirty_ = true;
}

bool IniProfile::Flush() {
    if (!dirty_ || readOnly_) return true;
    if (!MakeFolders(path_)) {
        error_ = "cannot create the folder of " + path_;
        return false;
    }
    const std::string text = ToText();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (!WriteFileSafely(path_, ByteSpan(bytes, text.size()), &error_)) return false;
    dirty_ = false;
    return true;
}

}  // namespace vox

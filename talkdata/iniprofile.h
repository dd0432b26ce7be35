#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "talkdata/profile.h"

namespace vox {

// The profile as an INI file under the user's configuration folder, shared by the desktop
// program and the command-line tool. The file is read once when the object is made; writes stay
// in memory until Flush, which replaces the file safely. Sections and keys keep the order in
// which they were first seen, so a person can read and edit the file.
class IniProfile : public Profile {
  public:
    // A read-only profile (the command-line tool's read commands) never writes its file.
    explicit IniProfile(std::string path, bool readOnly = false);

    // $XDG_CONFIG_HOME/Voxbench/voxbench.ini, or ~/.config/Voxbench/voxbench.ini.
    static std::string DefaultPath();

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;
    bool Flush() override;
    // Whether the key holds a value, even an empty one.
    bool Has(const std::string& section, const std::string& key) const;

    const std::string& GetPath() const { return path_; }
    const std::string& GetError() const { return error_; }

    // The parser and the writer, on text, for tests and fuzzers.
    void ParseText(const std::string& text);
    std::string ToText() const;

  private:
    // Order is kept in the vectors; the maps only find things, so that a long hand-edited file
    // does not cost a pass over every earlier line for each line read.
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
        std::unordered_map<std::string, size_t> keyIndex;
    };
    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;
    Section& FindOrAddSection(const std::string& name);
    // Returns whether the value differs from what was stored (true when the key is new).
    static bool SetValue(Section& section, const std::string& key, const std::string& value);

    std::string path_;
    std::string error_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;
    bool readOnly_ = false;
    bool dirty_ = false;
};

}  // namespace vox

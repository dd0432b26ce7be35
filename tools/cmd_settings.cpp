// voxtool settings SECTION KEY [VALUE]: read or write one value of the user's profile, the one
// the desktop program reads (for example "Data" "Phrases", the remembered phrase file).
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "talkdata/iniprofile.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct SettingsOptions {
    std::string section;
    std::string key;
    std::string value;
    bool ifEmpty = false;
};

// Why a section or key cannot stand in the profile's lines, or nothing: written as given it
// would end the name early or split the line, and read back as something else.
std::string NameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name.find_first_of("\r\n") != std::string::npos) return "holds a line break";
    if (name.find_first_of("]=") != std::string::npos) return "holds ']' or '='";
    if (name.front() == ' ' || name.back() == ' ') return "starts or ends with a blank";
    if (name.front() == ';' || name.front() == '#' || name.front() == '[')
        return "starts with ';', '#' or '['";
    return "";
}

void CheckName(const std::string& what, const std::string& name) {
    const std::string problem = NameProblem(name);
    if (!problem.empty()) throw UsageError{what + " '" + name + "' " + problem};
}

void RunSettings(const SettingsOptions& options, bool write) {
    CheckName("section", options.section);
    CheckName("key", options.key);
    IniProfile profile(IniProfile::DefaultPath(), !write);
    if (!write) {
        if (!profile.Has(options.section, options.key)) {
            return Fail(Status::Failure(profile.GetPath() + ": no setting '" + options.key +
                                        "' in section '" + options.section + "'"));
        }
        std::cout << profile.GetString(options.section, options.key, "") << '\n';
        return;
    }
    if (options.ifEmpty && !profile.GetString(options.section, options.key, "").empty()) return;
    profile.WriteString(options.section, options.key, options.value);
    if (!profile.Flush()) {
        PrintError(profile.GetPath() + ": " + profile.GetError());
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterSettings(CLI::App& app) {
    auto options = std::make_shared<SettingsOptions>();
    CLI::App* command = app.add_subcommand(
        "settings", "Print one value of the user's settings, or set it when VALUE is given");
    command->add_option("SECTION", options->section, "the section, for example Data")->required();
    command->add_option("KEY", options->key, "the value's name, for example Phrases")->required();
    CLI::Option* value = command->add_option("VALUE", options->value, "the new value");
    command->add_flag("--if-empty", options->ifEmpty, "set the value only when it is empty");
    command->callback([options, value] { RunSettings(*options, value->count() > 0); });
}

}  // namespace vox::tool

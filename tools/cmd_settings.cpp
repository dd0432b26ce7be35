// voxtool settings SECTION KEY [VALUE]: read or write one value of the user's profile, the one
// the desktop program reads (for example "Data" "Phrases", the remembered phrase file).
#include <iostream>
#include <memory>

#include "talkdata/iniprofile.h"
#include "tools/command.h"
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

void RegisterSettings(Command& tool) {
    auto options = std::make_shared<SettingsOptions>();
    Command command = tool.AddCommand(
        "settings", "Print one value of the user's settings, or set it when VALUE is given");
    command.AddOption("SECTION", options->section, "the section, for example Data").Required();
    command.AddOption("KEY", options->key, "the value's name, for example Phrases").Required();
    CommandOption value = command.AddOption("VALUE", options->value, "the new value");
    command.AddFlag("--if-empty", options->ifEmpty, "set the value only when it is empty");
    command.OnRun([options, value] { RunSettings(*options, value.Given()); });
}

}  // namespace vox::tool

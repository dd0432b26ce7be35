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

void RunSettings(const SettingsOptions& options, bool write) {
    IniProfile profile(IniProfile::DefaultPath(), !write);
    const std::string current = profile.GetString(options.section, options.key, "");
    if (!write) {
        std::cout << current << '\n';
        return;
    }
    if (options.ifEmpty && !current.empty()) return;
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

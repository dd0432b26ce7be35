#include "tools/command.h"

#include <CLI/CLI.hpp>

namespace vox::tool {

CommandOption& CommandOption::Required(bool required) {
    option_->required(required);
    return *this;
}

CommandOption& CommandOption::InRange(int min, int max) {
    option_->check(CLI::Range(min, max));
    return *this;
}

CommandOption& CommandOption::OneOf(const std::vector<std::string>& words) {
    option_->check(CLI::IsMember(words));
    return *this;
}

bool CommandOption::Given() const { return option_->count() > 0; }

Command Command::AddCommand(const std::string& name, const std::string& description) {
    return Command(*app_->add_subcommand(name, description));
}

CommandOption Command::AddOption(const std::string& name, std::string& value,
                                 const std::string& description) {
    return CommandOption(app_->add_option(name, value, description));
}

CommandOption Command::AddOption(const std::string& name, int& value,
                                 const std::string& description) {
    return CommandOption(app_->add_option(name, value, description));
}

CommandOption Command::AddOption(const std::string& name, std::optional<int>& value,
                                 const std::string& description) {
    return CommandOption(app_->add_option(name, value, description));
}

CommandOption Command::AddFlag(const std::string& name, bool& value,
                               const std::string& description) {
    return CommandOption(app_->add_flag(name, value, description));
}

void Command::AllowExtras(bool allow) { app_->allow_extras(allow); }

void Command::OnRun(std::function<void()> run) { app_->callback(std::move(run)); }

}  // namespace vox::tool

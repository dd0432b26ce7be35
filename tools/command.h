#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The parser's header costs seconds in every file that includes it, so the commands declare
// their words through this and only command.cpp and main.cpp include it.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace vox::tool {

// One option, flag or positional argument a command declared; each call returns it again, so
// that a declaration reads as one line.
class CommandOption {
  public:
    explicit CommandOption(CLI::Option* option) : option_(option) {}

    CommandOption& Required(bool required = true);
    // A number outside [min, max] is a usage error; --help shows the range.
    CommandOption& InRange(int min, int max);
    // A word that is none of these is a usage error; --help lists them.
    CommandOption& OneOf(const std::vector<std::string>& words);
    // Whether the command line held it.
    bool Given() const;

  private:
    CLI::Option* option_;
};

// The tool itself or one of its commands: its words, and what runs once they were taken.
class Command {
  public:
    explicit Command(CLI::App& app) : app_(&app) {}

    Command AddCommand(const std::string& name, const std::string& description);
    // A name in capitals ("TALK") is a positional argument; "--name" or "-n,--name" an option.
    CommandOption AddOption(const std::string& name, std::string& value,
                            const std::string& description);
    CommandOption AddOption(const std::string& name, int& value, const std::string& description);
    CommandOption AddOption(const std::string& name, std::optional<int>& value,
                            const std::string& description);
    CommandOption AddFlag(const std::string& name, bool& value, const std::string& description);
    // False: a word the command does not know is an error instead of passed on.
    void AllowExtras(bool allow);
    void OnRun(std::function<void()> run);

  private:
    CLI::App* app_;
};

}  // namespace vox::tool

#include "tools/numberoptions.h"

#include <CLI/CLI.hpp>

namespace vox::tool {

CLI::Option* AddNumber(CLI::App& command, const std::string& name, int& value,
                       const std::string& description, int min, int max) {
    return command.add_option(name, value, description)->check(CLI::Range(min, max));
}

CLI::Option* AddVoice(CLI::App& command, int& value) {
    return AddNumber(command, "V", value, "the voice", 0, FragTable::kVoiceCount - 1)->required();
}

}  // namespace vox::tool

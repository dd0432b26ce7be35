#include "tools/numberoptions.h"

namespace vox::tool {

CommandOption AddNumber(Command& command, const std::string& name, int& value,
                        const std::string& description, int min, int max) {
    return command.AddOption(name, value, description).InRange(min, max);
}

CommandOption AddVoice(Command& command, int& value) {
    return AddNumber(command, "V", value, "the voice", 0, FragTable::kVoiceCount - 1).Required();
}

}  // namespace vox::tool

#pragma once

#include <string>

#include "talkdata/fragtable.h"
#include "tools/command.h"

namespace vox::tool {

// Fragment and comm numbers are 16-bit in every table.
constexpr int kMaxFragmentNumber = 65535;
constexpr int kMaxCommNumber = 65535;
// Entries in evals and comms are signed 16-bit, so a search can only ever match in this range.
constexpr int kMinEntry = -32768;
constexpr int kMaxEntry = 32767;

// A whole number option or argument in [min, max]: --help shows the range, and a word that is
// no number or lies outside is a usage error before anything is opened.
CommandOption AddNumber(Command& command, const std::string& name, int& value,
                        const std::string& description, int min, int max);

// The voice argument V, 0 to 13.
CommandOption AddVoice(Command& command, int& value);

}  // namespace vox::tool

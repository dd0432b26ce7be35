#pragma once

#include <string>
#include <vector>

namespace vox::tool {

// The name among names nearest to word by edit distance, when it is near enough to be what was
// meant (a typo or the start of the name); empty otherwise.
std::string NearestName(const std::string& word, const std::vector<std::string>& names);

// When the first word that is not an option names no command: says "unknown command 'inf'"
// with the nearest of the command names, and returns true (exit status 2).
bool RefuseUnknownCommand(const std::vector<std::string>& names, int argc, char** argv);

}  // namespace vox::tool

#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vox {

// Reads a resource file, from a folder or from the program's own resources (":/dialogs/..."),
// and hands its bytes to parse. False with error set when the file cannot be read or parse
// refuses it; either way the error starts with the path.
bool ParseResourceFile(const std::string& path,
                       const std::function<bool(std::span<const uint8_t>, std::string&)>& parse,
                       std::string& error);

}  // namespace vox

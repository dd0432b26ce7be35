#include "talkdata/profile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vox {

int Profile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    const std::string text = GetString(section, key, "");
    if (text.empty()) return defaultValue;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return defaultValue;
    if (value < INT_MIN || value > INT_MAX) return defaultValue;
    return static_cast<int>(value);
}

void Profile::WriteInt(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

}  // namespace vox

#include "talkdata/memoryprofile.h"

namespace vox {

std::string MemoryProfile::GetString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const {
    auto it = values_.find({section, key});
    return it == values_.end() ? defaultValue : it->second;
}

void MemoryProfile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    values_[{section, key}] = value;
    ++writes_;
}

bool MemoryProfile::Has(const std::string& section, const std::string& key) const {
    return values_.count({section, key}) != 0;
}

}  // namespace vox

#pragma once

#include <map>
#include <string>
#include <utility>

#include "talkdata/profile.h"

namespace vox {

// A profile that lives in memory only: for tests, and for tools that must not touch the user's
// settings.
class MemoryProfile : public Profile {
  public:
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    bool Has(const std::string& section, const std::string& key) const;
    size_t GetWriteCount() const { return writes_; }

  private:
    std::map<std::pair<std::string, std::string>, std::string> values_;
    size_t writes_ = 0;
};

}  // namespace vox

#pragma once

#include <string>

namespace vox {

// The per-user settings store: named values in named sections, as the desktop program and the
// command-line tool share them. Reads never fail (a missing or malformed value gives the
// default); writes are kept until Flush.
class Profile {
  public:
    virtual ~Profile() = default;

    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;

    // A value that is not a whole number, or lies outside the 32-bit range, gives the default.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    void WriteInt(const std::string& section, const std::string& key, int value);

    // Makes every write so far durable; false when the store could not be written.
    virtual bool Flush() { return true; }
};

}  // namespace vox

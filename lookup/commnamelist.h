#pragma once

#include <string>
#include <string_view>

#include "talkdata/growablearray.h"

namespace vox {

// Human-readable comm names, read from the comma-separated comm-name file. Lives for the whole
// run; only a successful load replaces it.
class CommNameList {
  public:
    // The same bound as for fragments: far beyond any real comm file, and small enough that a
    // stray line naming comm 2000000000 is skipped instead of growing the list to its size.
    static constexpr int kMaxComm = 65535;

    // Keeps the old names when the file cannot be opened or read (false).
    bool LoadFile(const std::string& path);
    // Replaces the names with those of a whole file's text: no header; one line per comm:
    // number, then the name (the number's own text when the line has no second field).
    void LoadText(std::string_view text);

    // The name, or the empty string for a comm that has none.
    std::string GetCommName(int comm) const;
    size_t GetSize() const { return names_.GetSize(); }
    bool IsEmpty() const { return names_.IsEmpty(); }
    void Clear();

  private:
    void LoadLine(std::string_view line);

    GrowableArray<std::string> names_;
};

}  // namespace vox

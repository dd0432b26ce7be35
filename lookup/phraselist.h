#pragma once

#include <string>
#include <string_view>

#include "talkdata/growablearray.h"

namespace vox {

// Human-readable phrases per fragment and voice, read from the comma-separated phrase file.
// Lives for the whole run; only a load replaces it.
class PhraseList {
  public:
    // Fragment numbers are 16-bit in every table, so a line naming a larger number can never be
    // shown; it is skipped rather than growing the list to its size.
    static constexpr int kMaxFragment = 65535;

    // Empties the list first, so a file that cannot be opened or read leaves it empty (false).
    bool LoadFile(const std::string& path);
    // Replaces the list with the phrases of a whole file's text: a header line, then one line
    // per fragment: number, an ignored field, then the phrase of voice 0, 1, 2, ...
    void LoadText(std::string_view text);

    // The phrase, or the empty string for any fragment or voice that has none.
    std::string GetPhrase(int fragment, int voice) const;
    size_t GetSize() const { return slots_.GetSize(); }
    bool IsEmpty() const { return slots_.IsEmpty(); }
    void Clear();

  private:
    void LoadLine(std::string_view line);

    GrowableArray<GrowableArray<std::string>> slots_;
};

}  // namespace vox

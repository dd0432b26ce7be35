#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vox::pack {

// Splits one description line into words at blanks and tabs. A word that starts with a double
// quote runs to the next double quote, so file names may hold blanks; there is no escape, as
// no file name the description needs holds a double quote. False (with why) for a quote that
// is never closed, and for a quote inside a word, which could not be written back.
bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& why);

// A whole decimal number with an optional sign and nothing else, within [min, max]. why names
// the range when the number lies outside it.
bool ParseNumber(std::string_view text, int64_t min, int64_t max, int64_t& out, std::string& why);

// Splits "key=value" (or "key:value" with separator ':'); false when the separator is missing.
bool SplitPair(std::string_view word, char separator, std::string_view& key,
               std::string_view& value);

// A word as the description writes it: quoted when it holds a blank or tab, starts with '#'
// (a comment) or is empty. A word holding a double quote or a line end cannot be written.
std::string QuoteWord(const std::string& word);

}  // namespace vox::pack

#pragma once

#include <cstdint>
#include <string_view>

namespace vox {

// The strict reading of a number field in a dialog: optional blanks, an optional sign, at least
// one decimal digit, optional blanks, nothing else, and the value within the 32-bit range that
// the dialogs' members hold. Unlike the lenient reading of the Find field, anything else is
// refused so that the dialog can stay open and ask again.
bool ParseWholeNumber(std::string_view text, long long& out);

// The low 16 bits of a typed number read as a signed number: what the tables store of it
// (40000 becomes -25536, 65636 becomes 100).
inline int16_t LowWord(long long value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFFu));
}

// The prompt a number dialog shows while a field is refused.
extern const char* const kWholeNumberPrompt;

}  // namespace vox

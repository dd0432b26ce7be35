#include "ui/dialogs/wholenumber.h"

#include <cstdint>
#include <limits>

namespace vox {

const char* const kWholeNumberPrompt =
    "Please enter a whole number from -2147483648 to 2147483647.";

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool ParseWholeNumber(std::string_view text, long long& out) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const size_t firstDigit = pos;
    // Accumulate as the magnitude; the limit leaves room for INT32_MIN's larger magnitude.
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int32_t>::max()) + 1;
    long long magnitude = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > kLimit) return false;
        ++pos;
    }
    if (pos == firstDigit) return false;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos != text.size()) return false;
    if (!negative && magnitude == kLimit) return false;
    out = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace vox

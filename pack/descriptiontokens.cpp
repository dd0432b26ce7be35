#include "pack/descriptiontokens.h"

namespace vox::pack {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& why) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                why = "a double quote is not closed";
                return false;
            }
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        // The writer can only quote a whole word, so a quote inside one could never be written
        // back the way it was read.
        if (line.substr(i, end - i).find('"') != std::string_view::npos) {
            why = "a double quote stands inside a word";
            return false;
        }
        words.emplace_back(line.substr(i, end - i));
        i = end;
    }
    // A control character (a stray carriage return, a NUL) could not be written back the way
    // it was read: a line end would take it, or a reader would stop at it.
    for (const char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            why = "a control character stands in the line";
            return false;
        }
    }
    return true;
}

bool ParseNumber(std::string_view text, int64_t min, int64_t max, int64_t& out, std::string& why) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    if (i == text.size()) {
        why = "'" + std::string(text) + "' is not a whole number";
        return false;
    }
    // Accumulated with a cap well above any field's range, so no input can overflow.
    constexpr int64_t kCap = int64_t{1} << 40;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            why = "'" + std::string(text) + "' is not a whole number";
            return false;
        }
        if (value < kCap) value = value * 10 + (text[i] - '0');
    }
    if (negative) value = -value;
    if (value < min || value > max) {
        why = std::string(text) + " does not fit: the field holds " + std::to_string(min) + " to " +
              std::to_string(max);
        return false;
    }
    out = value;
    return true;
}

bool SplitPair(std::string_view word, char separator, std::string_view& key,
               std::string_view& value) {
    const size_t at = word.find(separator);
    if (at == std::string_view::npos) return false;
    key = word.substr(0, at);
    value = word.substr(at + 1);
    return true;
}

std::string QuoteWord(const std::string& word) {
    if (!word.empty() && word[0] != '#' && word.find_first_of(" \t") == std::string::npos)
        return word;
    return "\"" + word + "\"";
}

}  // namespace vox::pack

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vox {

// One word of a line of a resource text: a bare word, or a text in double quotes in which \" is
// a quote, \\ a backslash, \n a line break and \t a tab.
struct ResourceToken {
    std::string text;
    bool quoted = false;

    bool Is(std::string_view word) const { return !quoted && text == word; }
};

// Splits a line into blank-separated tokens. False, with error set, when a quoted text is not
// closed. A line whose first token starts with '#' is a comment and gives no tokens.
bool TokenizeResourceLine(std::string_view line, std::vector<ResourceToken>& tokens,
                          std::string& error);

// Calls handle(lineNumber, tokens) for each line that has tokens; stops at the first line the
// handler refuses and sets error to "line N: " and the handler's error.
template <typename Handler>
bool ForEachResourceLine(std::string_view text, std::string& error, Handler handle) {
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++lineNumber;
        std::vector<ResourceToken> tokens;
        std::string lineError;
        if (!TokenizeResourceLine(text.substr(start, end - start), tokens, lineError) ||
            (!tokens.empty() && !handle(tokens, lineError))) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace vox

#include "ui/templates/resourcetext.h"

namespace vox {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads a quoted text starting after its opening quote; false when it is not closed.
bool ReadQuoted(std::string_view line, size_t& i, std::string& out) {
    while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') return true;
        if (c != '\\' || i == line.size()) {
            out += c;
            continue;
        }
        const char next = line[i++];
        out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return false;
}

}  // namespace

bool TokenizeResourceLine(std::string_view line, std::vector<ResourceToken>& tokens,
                          std::string& error) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        ResourceToken token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            if (!ReadQuoted(line, i, token.text)) {
                error = "unterminated text";
                tokens.clear();
                return false;
            }
        } else {
            while (i < line.size() && !IsBlank(line[i])) token.text += line[i++];
        }
        tokens.push_back(std::move(token));
    }
    if (!tokens.empty() && !tokens[0].quoted && tokens[0].text.starts_with('#')) tokens.clear();
    return true;
}

}  // namespace vox

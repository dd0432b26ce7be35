#include "tools/commandguess.h"

#include <algorithm>
#include <iostream>

#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

// Typos further apart than this are guesses, not suggestions.
constexpr size_t kMaxSuggestedDistance = 2;

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string NearestName(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    size_t bestDistance = kMaxSuggestedDistance + 1;
    for (const std::string& name : names) {
        size_t distance = EditDistance(word, name);
        if (word.size() >= 2 && name.rfind(word, 0) == 0) distance = std::min<size_t>(distance, 1);
        if (distance < bestDistance && distance < word.size()) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

bool RefuseUnknownCommand(const std::vector<std::string>& names, int argc, char** argv) {
    // The tool's own options take no values, so the first other word is the command's name.
    const auto word = std::find_if(argv + 1, argv + argc, [](const char* arg) {
        return arg[0] != '-' || std::string(arg) == "--";
    });
    if (word == argv + argc || std::string(*word) == "--") return false;
    if (std::find(names.begin(), names.end(), *word) != names.end()) return false;
    const std::string nearest = NearestName(*word, names);
    PrintError("unknown command '" + std::string(*word) + "'" +
               (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"));
    std::cerr << "Try 'voxtool --help' for the list of commands.\n";
    return true;
}

}  // namespace vox::tool

#include "lookup/phrasesearch.h"

#include <algorithm>

#include "talkdata/fragtable.h"

namespace vox {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsIgnoringCase(std::string_view haystack, std::string_view needle) {
    const auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                   [](char a, char b) { return Lower(a) == Lower(b); });
    return found != haystack.end();
}

}  // namespace

std::vector<PhraseMatch> SearchPhrases(const PhraseList& phrases, const CommNameList& names,
                                       std::string_view text) {
    std::vector<PhraseMatch> matches;
    if (text.empty()) return matches;
    const int fragments = static_cast<int>(phrases.GetSize());
    for (int fragment = 0; fragment < fragments; ++fragment) {
        for (int voice = 0; voice < FragTable::kVoiceCount; ++voice) {
            std::string phrase = phrases.GetPhrase(fragment, voice);
            if (!phrase.empty() && ContainsIgnoringCase(phrase, text)) {
                matches.push_back({PhraseMatch::Kind::Phrase, fragment, voice, std::move(phrase)});
            }
        }
    }
    const int comms = static_cast<int>(names.GetSize());
    for (int comm = 0; comm < comms; ++comm) {
        std::string name = names.GetCommName(comm);
        if (!name.empty() && ContainsIgnoringCase(name, text)) {
            matches.push_back({PhraseMatch::Kind::Comm, comm, 0, std::move(name)});
        }
    }
    return matches;
}

}  // namespace vox

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lookup/commnamelist.h"
#include "lookup/phraselist.h"

namespace vox {

// One line found by its words: a fragment's phrase in one voice, or a comm's name.
struct PhraseMatch {
    enum class Kind { Phrase, Comm };
    Kind kind = Kind::Phrase;
    int number = 0;  // the fragment or the comm
    int voice = 0;   // phrases only
    std::string text;
};

// Every phrase (fragments in order, voices in order within each) and then every comm name that
// contains text, ignoring the case of ASCII letters. An empty text finds nothing.
std::vector<PhraseMatch> SearchPhrases(const PhraseList& phrases, const CommNameList& names,
                                       std::string_view text);

}  // namespace vox

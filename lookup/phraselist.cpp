#include "lookup/phraselist.h"

#include <utility>

#include "lookup/csvfield.h"
#include "lookup/lenientnumber.h"
#include "lookup/textfile.h"

namespace vox {

bool PhraseList::LoadFile(const std::string& path) {
    Clear();
    std::string text;
    if (!ReadTextFile(path, text)) return false;
    LoadText(text);
    return true;
}

void PhraseList::LoadText(std::string_view text) {
    Clear();
    std::string_view line;
    if (!NextTextLine(text, line)) return;  // the header, whatever it holds
    while (NextTextLine(text, line)) LoadLine(line);
}

void PhraseList::LoadLine(std::string_view line) {
    std::string field;
    if (!NextCsvField(line, field)) return;
    const int fragment = ParseLenientInt(field);
    NextCsvField(line, field);  // the second field carries nothing we use

    GrowableArray<std::string> phrases;
    while (NextCsvField(line, field)) {
        if (!phrases.Add(field)) return;
    }

    // A negative number has no slot, and one past the 16-bit range names no fragment: skipping
    // both keeps a stray line from landing on fragment 0 or from exhausting memory.
    if (fragment < 0 || fragment > kMaxFragment) return;
    const size_t index = static_cast<size_t>(fragment);
    if (index >= slots_.GetSize() && !slots_.SetSize(index + 1)) return;
    slots_[index] = std::move(phrases);
}

std::string PhraseList::GetPhrase(int fragment, int voice) const {
    if (fragment < 0 || static_cast<size_t>(fragment) >= slots_.GetSize()) return {};
    const GrowableArray<std::string>& phrases = slots_[static_cast<size_t>(fragment)];
    if (voice < 0 || static_cast<size_t>(voice) >= phrases.GetSize()) return {};
    return phrases[static_cast<size_t>(voice)];
}

void PhraseList::Clear() { slots_.RemoveAll(); }

}  // namespace vox

// The phrase and comm-name side files and the field splitter under them, over any text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lookup/commnamelist.h"
#include "lookup/csvfield.h"
#include "lookup/phraselist.h"
#include "lookup/textfile.h"
#include "tests/fuzz/fuzzcheck.h"

namespace vox::fuzz {
namespace {

// Each field shortens the rest and comes out of it; the end leaves nothing and keeps the field.
void CheckFields(std::string_view line) {
    std::string_view rest = line;
    std::string field = "\x01unchanged";
    for (size_t steps = 0;; ++steps) {
        Require(steps <= line.size() + 1, "the fields of a line come to an end");
        const size_t before = rest.size();
        const std::string last = field;
        if (!NextCsvField(rest, field)) {
            Require(rest.empty() && field == last, "the end leaves no rest and keeps the field");
            return;
        }
        Require(rest.size() < before, "every field shortens the rest");
        Require(field.size() <= before - rest.size(), "a field comes out of what was taken");
        Require(line.find(field) != std::string_view::npos, "a field is text of its line");
    }
}

// A line naming fragment 65535 makes the list 65536 slots long: one list per input is what
// keeps this target fast, so loading twice is checked on the comm names only.
void CheckPhrases(std::string_view text) {
    PhraseList phrases;
    phrases.LoadText(text);
    Require(phrases.GetSize() <= PhraseList::kMaxFragment + 1, "no slot past the 16-bit range");
    for (int voice = -1; voice < 16; ++voice) {
        Require(voice >= 0 || phrases.GetPhrase(0, voice).empty(), "no phrase for voice -1");
    }
    Require(phrases.GetPhrase(-1, 0).empty(), "no phrase for fragment -1");
    Require(phrases.GetPhrase(static_cast<int>(phrases.GetSize()), 0).empty(),
            "no phrase past the end");
}

void CheckCommNames(std::string_view text) {
    CommNameList names;
    names.LoadText("0,stale\n70000,never\n");
    names.LoadText(text);  // replaces, never adds
    Require(!text.empty() || names.IsEmpty(), "an empty text leaves no names");
    Require(names.GetSize() <= CommNameList::kMaxComm + 1, "no name past the 16-bit range");
    Require(names.GetCommName(-1).empty(), "no name for comm -1");
    Require(names.GetCommName(static_cast<int>(names.GetSize())).empty(), "no name past the end");
}

}  // namespace
}  // namespace vox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vox;
    using namespace vox::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view rest = text;
    std::string_view line;
    size_t lines = 0;
    while (NextTextLine(rest, line)) {
        Require(++lines <= size + 1, "the lines of a text come to an end");
        CheckFields(line);
    }
    CheckPhrases(text);
    CheckCommNames(text);
    return 0;
}

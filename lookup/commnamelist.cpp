#include "lookup/commnamelist.h"

#include <utility>

#include "lookup/csvfield.h"
#include "lookup/lenientnumber.h"
#include "lookup/textfile.h"

namespace vox {

bool CommNameList::LoadFile(const std::string& path) {
    std::string text;
    if (!ReadTextFile(path, text)) return false;
    LoadText(text);
    return true;
}

void CommNameList::LoadText(std::string_view text) {
    Clear();
    std::string_view line;
    while (NextTextLine(text, line)) LoadLine(line);
}

void CommNameList::LoadLine(std::string_view line) {
    std::string field;
    if (!NextCsvField(line, field)) return;
    const int comm = ParseLenientInt(field);
    // Without a second field the name stays the first field's text: a line holding only "12"
    // names comm 12 "12".
    NextCsvField(line, field);

    // A negative number has no entry; a huge one would only exhaust memory.
    if (comm < 0 || comm > kMaxComm) return;
    const size_t index = static_cast<size_t>(comm);
    if (index >= names_.GetSize() && !names_.SetSize(index + 1)) return;
    names_[index] = std::move(field);
}

std::string CommNameList::GetCommName(int comm) const {
    if (comm < 0 || static_cast<size_t>(comm) >= names_.GetSize()) return {};
    return names_[static_cast<size_t>(comm)];
}

void CommNameList::Clear() { names_.RemoveAll(); }

}  // namespace vox

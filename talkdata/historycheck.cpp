#include "talkdata/historycheck.h"

#include <set>
#include <tuple>

#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"

namespace vox {

void VerifyHistory(ByteSpan history, ByteSpan talk, const std::string& historyName,
                   const EntryDecodeCheck& decode,
                   const std::function<void(const VerifyFinding&)>& add) {
    const History parsed = ParseHistory(history);
    for (const HistoryBadLine& bad : parsed.bad) {
        add({historyName, "line " + std::to_string(bad.lineNumber),
             "skipped by every reader: " + bad.why});
    }
    std::set<uint32_t> checked;
    for (const HistoryLine& line : parsed.lines) {
        const std::tuple<const char*, uint32_t, bool> named[] = {
            {"old", line.oldOffset, line.oldDropped}, {"new", line.newOffset, line.newDropped}};
        for (const auto& [which, offset, dropped] : named) {
            if (dropped || !checked.insert(offset).second) continue;
            const std::string place = "line " + std::to_string(line.lineNumber);
            std::string why;
            if (!VoxFile::IsEntryAt(talk, offset, &why)) {
                add({historyName, place, std::string("the ") + which + " entry: " + why});
                continue;
            }
            VoxEntry entry;
            entry.decodedSize = ReadU32(talk.data() + offset);
            entry.codedSize = ReadU32(talk.data() + offset + 4);
            entry.data = talk.data() + offset + kTalkEntryHeaderSize;
            if (decode && !decode(entry, &why)) {
                add({historyName, place,
                     std::string("the ") + which + " entry at byte " + std::to_string(offset) +
                         " does not decode: " + why});
            }
        }
    }
}

}  // namespace vox

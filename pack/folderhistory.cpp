#include "pack/folderhistory.h"

#include <cstdio>
#include <set>
#include <utility>

#include "talkdata/talklayout.h"
#include "talkdata/voxfile.h"

namespace vox::pack {
namespace {

constexpr size_t kFieldCount = 9;
constexpr size_t kOldField = 5;
constexpr size_t kNewField = 6;

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : "\t") + fields[i];
    return line;
}

std::string DroppedName(uint32_t offset) { return "x" + std::to_string(offset); }

bool IsDroppedName(const std::string& name) {
    return name.size() > 1 && name[0] == 'x' &&
           name.find_first_not_of("0123456789", 1) == std::string::npos;
}

class TakeNamer {
  public:
    TakeNamer(ByteSpan talk, const std::map<uint32_t, std::string>& waveAt, FolderHistory& out)
        : talk_(talk), waveAt_(waveAt), out_(out) {}

    // An earlier take is named after its voice and its place among the voice's takes (in
    // order of first mention), not its offset: a rewrite of the talk file moves the offsets,
    // and a folder kept in version control should not see its takes renamed.
    std::string Name(const HistoryLine& line, uint32_t offset, bool dropped) {
        if (dropped) {
            // Counted too, so that a compact that drops takes renames none of the others.
            if (dropped_.insert(offset).second) ++takeCount_[{line.frag, line.voice}];
            return DroppedName(offset);
        }
        const auto known = names_.find(offset);
        if (known != names_.end()) return known->second;
        const int number = ++takeCount_[{line.frag, line.voice}];
        const auto wave = waveAt_.find(offset);
        if (wave != waveAt_.end()) return names_[offset] = wave->second;
        char name[64];
        std::snprintf(name, sizeof name, "%s/f%04d-v%02d-take%d.coded", kHistoryFolderName,
                      line.frag, line.voice, number);
        std::string why;
        if (!VoxFile::IsEntryAt(talk_, offset, &why)) {
            out_.notes.push_back("history: no whole entry lies at offset " +
                                 std::to_string(offset) + " (" + why +
                                 "); written as a dropped take");
            return names_[offset] = DroppedName(offset);
        }
        const uint8_t* at = talk_.data() + offset;
        const uint32_t coded = ReadU32(at + 4);
        TakeFile file{name, {}};
        file.bytes.assign(at, at + 4);  // decodedSize
        file.bytes.insert(file.bytes.end(), at + kTalkEntryHeaderSize,
                          at + kTalkEntryHeaderSize + coded);
        out_.takes.push_back(std::move(file));
        return names_[offset] = name;
    }

  private:
    ByteSpan talk_;
    const std::map<uint32_t, std::string>& waveAt_;
    FolderHistory& out_;
    std::map<uint32_t, std::string> names_;
    std::map<std::pair<int, int>, int> takeCount_;
    std::set<uint32_t> dropped_;
};

}  // namespace

FolderHistory HistoryForFolder(const History& history, ByteSpan talk,
                               const std::map<uint32_t, std::string>& waveAt) {
    FolderHistory out;
    TakeNamer namer(talk, waveAt, out);
    for (const HistoryBadLine& bad : history.bad)
        out.notes.push_back("history: line " + std::to_string(bad.lineNumber) + " left out (" +
                            bad.why + ")");
    for (const HistoryLine& line : history.lines) {
        std::string text = HistoryLineText(line);
        text.pop_back();  // its newline
        std::vector<std::string> fields = SplitFields(text);
        fields[kOldField] = namer.Name(line, line.oldOffset, line.oldDropped);
        fields[kNewField] = namer.Name(line, line.newOffset, line.newDropped);
        out.text += JoinFields(fields) + "\n";
    }
    return out;
}

bool ReadFolderHistory(ByteSpan text, const std::map<std::string, size_t>& entryOfWave,
                       FolderHistoryInput& out, int& badLine, std::string& why) {
    const std::string all(text.begin(), text.end());
    std::map<std::string, size_t> earlierIndex;
    const auto resolve = [&](std::string& field, TakeRef& ref) {
        if (IsDroppedName(field)) return;  // the parser reads it as a dropped offset
        const auto wave = entryOfWave.find(field);
        if (wave != entryOfWave.end()) {
            ref = {TakeRef::Kind::kCurrent, wave->second};
        } else {
            const auto known = earlierIndex.emplace(field, out.takeFiles.size());
            if (known.second) out.takeFiles.push_back(field);
            ref = {TakeRef::Kind::kEarlier, known.first->second};
        }
        field = "1";  // a placeholder until the new file's offsets are known
    };
    size_t start = 0;
    for (int number = 1; start < all.size(); ++number) {
        const size_t end = std::min(all.find('\n', start), all.size());
        std::vector<std::string> fields = SplitFields(all.substr(start, end - start));
        start = end + 1;
        badLine = number;
        if (fields.size() != kFieldCount) {
            why = "not " + std::to_string(kFieldCount) + " tab-separated fields";
            return false;
        }
        FolderHistoryLine line;
        resolve(fields[kOldField], line.oldTake);
        resolve(fields[kNewField], line.newTake);
        if (!ParseHistoryLine(JoinFields(fields), line.line, &why)) return false;
        out.lines.push_back(std::move(line));
    }
    badLine = 0;
    return true;
}

std::string PackedHistoryText(const FolderHistoryInput& input,
                              const std::vector<uint32_t>& currentAt,
                              const std::vector<uint32_t>& earlierAt) {
    const auto place = [&](const TakeRef& ref, uint32_t& offset) {
        if (ref.kind == TakeRef::Kind::kCurrent) offset = currentAt[ref.index];
        if (ref.kind == TakeRef::Kind::kEarlier) offset = earlierAt[ref.index];
    };
    std::string text;
    for (const FolderHistoryLine& read : input.lines) {
        HistoryLine line = read.line;
        line.lineNumber = 0;
        place(read.oldTake, line.oldOffset);
        place(read.newTake, line.newOffset);
        text += HistoryLineText(line);
    }
    return text;
}

}  // namespace vox::pack

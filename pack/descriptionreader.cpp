#include "pack/descriptionreader.h"

#include <string_view>

#include "lookup/textfile.h"
#include "pack/descriptiontokens.h"
#include "pack/packlimits.h"

namespace vox::pack {
namespace {

using Words = std::vector<std::string>;

class DescriptionParser {
  public:
    DescriptionParser(PackDescription& out, DescriptionError& error) : out_(out), error_(error) {}

    bool ParseLine(int lineNumber, std::string_view line);
    bool Finish();

  private:
    bool Fail(const std::string& message);
    bool Number(std::string_view text, int64_t min, int64_t max, const std::string& what,
                int64_t& out);
    bool Once(int& seenLine, const char* statement);
    bool ExpectCount(const Words& words, size_t count, const char* form);

    bool ParseStatement(const Words& words);
    bool ParseVersion(const Words& words);
    bool ParseTalk(const Words& words);
    bool ParseHeader(const Words& words);
    bool ParseSlots(const Words& words);
    bool ParseSideFile(const Words& words, std::string& file, int& seenLine);
    bool ParseEntry(const Words& words);
    bool ParseEntrySlots(const std::string& list, EntryDescription& entry);
    bool ParseEntryCoded(const Words& words, EntryDescription& entry);
    bool ParseFrag(const Words& words);
    bool ParseEval(const Words& words);
    bool ParseComm(const Words& words);
    bool ParseCommField(std::string_view key, std::string_view value, CommDescription& comm);
    bool ParseSequenceNumber(const std::string& word, size_t expected, int64_t max,
                             const char* what, int& out);

    PackDescription& out_;
    DescriptionError& error_;
    int line_ = 0;
    int versionLine_ = 0;
    int headerLine_ = 0;
};

bool DescriptionParser::Fail(const std::string& message) {
    error_.line = line_;
    error_.message = message;
    return false;
}

bool DescriptionParser::Number(std::string_view text, int64_t min, int64_t max,
                               const std::string& what, int64_t& out) {
    std::string why;
    if (ParseNumber(text, min, max, out, why)) return true;
    return Fail(what + ": " + why);
}

bool DescriptionParser::Once(int& seenLine, const char* statement) {
    if (seenLine != 0) {
        return Fail(std::string("'") + statement + "' is given twice (first on line " +
                    std::to_string(seenLine) + ")");
    }
    seenLine = line_;
    return true;
}

bool DescriptionParser::ExpectCount(const Words& words, size_t count, const char* form) {
    if (words.size() == count) return true;
    return Fail(std::string("expected '") + form + "'");
}

bool DescriptionParser::ParseLine(int lineNumber, std::string_view line) {
    line_ = lineNumber;
    Words words;
    std::string why;
    if (!SplitWords(line, words, why)) return Fail(why);
    if (words.empty() || words[0][0] == '#') return true;
    if (versionLine_ == 0 && words[0] != "voxbench-unpacked") {
        return Fail("the description must begin with 'voxbench-unpacked " +
                    std::to_string(PackDescription::kFormatVersion) + "'");
    }
    return ParseStatement(words);
}

bool DescriptionParser::ParseStatement(const Words& words) {
    const std::string& keyword = words[0];
    if (keyword == "voxbench-unpacked") return ParseVersion(words);
    if (keyword == "talk") return ParseTalk(words);
    if (keyword == "header") return ParseHeader(words);
    if (keyword == "slots") return ParseSlots(words);
    if (keyword == "phrases") return ParseSideFile(words, out_.phrasesFile, out_.phrasesLine);
    if (keyword == "commnames") return ParseSideFile(words, out_.commNamesFile, out_.commNamesLine);
    if (keyword == "entry") return ParseEntry(words);
    if (keyword == "frag") return ParseFrag(words);
    if (keyword == "eval") return ParseEval(words);
    if (keyword == "comm") return ParseComm(words);
    return Fail("unknown statement '" + keyword + "'");
}

bool DescriptionParser::ParseVersion(const Words& words) {
    if (!Once(versionLine_, "voxbench-unpacked")) return false;
    if (!ExpectCount(words, 2, "voxbench-unpacked VERSION")) return false;
    int64_t version = 0;
    std::string why;
    if (!ParseNumber(words[1], PackDescription::kOldestFormatVersion,
                     PackDescription::kFormatVersion, version, why))
        return Fail("format version " + words[1] + " is not known (this program reads versions " +
                    std::to_string(PackDescription::kOldestFormatVersion) + " to " +
                    std::to_string(PackDescription::kFormatVersion) + ")");
    out_.version = static_cast<int>(version);
    return true;
}

bool DescriptionParser::ParseTalk(const Words& words) {
    if (!Once(out_.talkNameLine, "talk")) return false;
    if (!ExpectCount(words, 2, "talk NAME.vox")) return false;
    out_.talkName = words[1];
    return true;
}

bool DescriptionParser::ParseHeader(const Words& words) {
    if (!Once(headerLine_, "header")) return false;
    if (!ExpectCount(words, 2, "header HEX")) return false;
    const std::string& hex = words[1];
    if (hex.size() != 2 * out_.header.size() ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail("the header must be 24 hexadecimal digits (12 bytes)");
    }
    for (size_t i = 0; i < out_.header.size(); ++i)
        out_.header[i] = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return true;
}

bool DescriptionParser::ParseSlots(const Words& words) {
    if (!Once(out_.slotCountLine, "slots")) return false;
    if (!ExpectCount(words, 2, "slots COUNT")) return false;
    int64_t count = 0;
    if (!Number(words[1], 1, kMaxSlots, "slot count", count)) return false;
    out_.slotCount = static_cast<int>(count);
    return true;
}

bool DescriptionParser::ParseSideFile(const Words& words, std::string& file, int& seenLine) {
    if (!Once(seenLine, words[0].c_str())) return false;
    if (words.size() != 2 || words[1].empty()) return Fail("expected '" + words[0] + " FILE'");
    file = words[1];
    return true;
}

bool DescriptionParser::ParseEntry(const Words& words) {
    if (words.size() < 3)
        return Fail("expected 'entry SLOT[,SLOT...] WAVE [decoded=... coded=... pcm=...]'");
    EntryDescription entry;
    entry.line = line_;
    if (!ParseEntrySlots(words[1], entry)) return false;
    entry.wave = words[2];
    if (entry.wave.empty()) return Fail("the wave file name is empty");
    if (!ParseEntryCoded(words, entry)) return false;
    out_.entries.push_back(std::move(entry));
    return true;
}

bool DescriptionParser::ParseEntrySlots(const std::string& list, EntryDescription& entry) {
    std::string_view rest = list;
    while (true) {
        const size_t comma = rest.find(',');
        int64_t slot = 0;
        if (!Number(rest.substr(0, comma), 0, kMaxSlots - 1, "slot", slot)) return false;
        for (int earlier : entry.slots)
            if (earlier == slot) return Fail("slot " + std::to_string(slot) + " is named twice");
        entry.slots.push_back(static_cast<int>(slot));
        if (comma == std::string_view::npos) return true;
        rest.remove_prefix(comma + 1);
    }
}

// decoded=, coded= and pcm= come together or not at all: they are what lets pack keep the
// coded bytes, and any one without the others cannot be trusted.
bool DescriptionParser::ParseEntryCoded(const Words& words, EntryDescription& entry) {
    bool haveDecoded = false, haveCoded = false, havePcm = false;
    for (size_t i = 3; i < words.size(); ++i) {
        std::string_view key, value;
        if (!SplitPair(words[i], '=', key, value))
            return Fail("expected KEY=VALUE: '" + words[i] + "'");
        int64_t number = 0;
        if (key == "decoded" && !haveDecoded) {
            if (!Number(value, 0, 0xFFFFFFFF, "decoded size", number)) return false;
            entry.decodedSize = static_cast<uint32_t>(number);
            haveDecoded = true;
        } else if (key == "coded" && !haveCoded && out_.version >= 2) {
            if (value.empty()) return Fail("expected coded=FILE");
            entry.codedFile = std::string(value);
            haveCoded = true;
        } else if (key == "coded" && !haveCoded) {
            std::string_view offset, length;
            if (!SplitPair(value, '+', offset, length)) return Fail("expected coded=OFFSET+LENGTH");
            if (!Number(offset, 0, 0xFFFFFFFF, "coded offset", number)) return false;
            entry.codedOffset = static_cast<uint64_t>(number);
            if (!Number(length, 0, 0xFFFFFFFF, "coded length", number)) return false;
            entry.codedSize = static_cast<uint32_t>(number);
            haveCoded = true;
        } else if (key == "pcm" && !havePcm) {
            if (value.size() != 16 ||
                value.find_first_not_of("0123456789abcdef") != std::string_view::npos)
                return Fail("pcm= must be 16 lower-case hexadecimal digits");
            entry.pcmHash = std::stoull(std::string(value), nullptr, 16);
            havePcm = true;
        } else {
            return Fail("unknown or repeated field '" + std::string(key) + "'");
        }
    }
    const int given = int{haveDecoded} + int{haveCoded} + int{havePcm};
    if (given != 0 && given != 3) return Fail("decoded=, coded= and pcm= must be given together");
    entry.hasCoded = given == 3;
    return true;
}

bool DescriptionParser::ParseSequenceNumber(const std::string& word, size_t expected, int64_t max,
                                            const char* what, int& out) {
    int64_t number = 0;
    if (!Number(word, 0, max, std::string(what) + " number", number)) return false;
    if (static_cast<size_t>(number) != expected) {
        return Fail(std::string(what) + " " + word + " is out of sequence: expected " + what + " " +
                    std::to_string(expected) + " here (they are numbered from 0 in order)");
    }
    out = static_cast<int>(number);
    return true;
}

bool DescriptionParser::ParseFrag(const Words& words) {
    if (words.size() < 2) return Fail("expected 'frag NUMBER [number=N] [VOICE:ENTRY ...]'");
    FragDescription frag;
    frag.line = line_;
    if (!ParseSequenceNumber(words[1], out_.frags.size(), kMaxFrags - 1, "fragment", frag.frag))
        return false;
    frag.number = frag.frag;
    for (size_t i = 2; i < words.size(); ++i) {
        std::string_view key, value;
        int64_t a = 0, b = 0;
        if (i == 2 && SplitPair(words[i], '=', key, value) && key == "number") {
            if (!Number(value, 0, 0xFFFF, "record number", a)) return false;
            frag.number = static_cast<int>(a);
            continue;
        }
        if (!SplitPair(words[i], ':', key, value))
            return Fail("expected VOICE:ENTRY: '" + words[i] + "'");
        if (!Number(key, 0, kVoiceCount - 1, "voice", a)) return false;
        if (!Number(value, 0, kMaxSlots - 1, "talk entry", b)) return false;
        for (const FragVoiceDescription& earlier : frag.voices)
            if (earlier.voice == a) return Fail("voice " + std::to_string(a) + " is given twice");
        frag.voices.push_back({static_cast<int>(a), static_cast<int>(b)});
    }
    out_.frags.push_back(std::move(frag));
    return true;
}

bool DescriptionParser::ParseEval(const Words& words) {
    if (words.size() < 2) return Fail("expected 'eval NUMBER [number=N] [INDEX:FRAG ...]'");
    EvalDescription eval;
    eval.line = line_;
    if (!ParseSequenceNumber(words[1], out_.evals.size(), kMaxEvals - 1, "eval", eval.eval))
        return false;
    eval.number = eval.eval;
    for (size_t i = 2; i < words.size(); ++i) {
        std::string_view key, value;
        int64_t a = 0, b = 0;
        if (i == 2 && SplitPair(words[i], '=', key, value) && key == "number") {
            if (!Number(value, 0, 0xFFFF, "record number", a)) return false;
            eval.number = static_cast<int>(a);
            continue;
        }
        if (!SplitPair(words[i], ':', key, value))
            return Fail("expected INDEX:FRAG: '" + words[i] + "'");
        if (!Number(key, -32768, 32767, "index", a)) return false;
        if (!Number(value, -32768, 32767, "fragment", b)) return false;
        if (eval.alternatives.size() >= kMaxListCount)
            return Fail("too many alternatives for one eval");
        eval.alternatives.push_back({static_cast<int>(a), static_cast<int>(b)});
    }
    out_.evals.push_back(std::move(eval));
    return true;
}

bool DescriptionParser::ParseCommField(std::string_view key, std::string_view value,
                                       CommDescription& comm) {
    struct Field {
        const char* name;
        int64_t min;
        int64_t max;
        int* target;
    };
    const Field fields[] = {
        {"reserved", 0, 0xFFFF, &comm.reserved},     {"warp", -32768, 32767, &comm.warp},
        {"priority", 0, 255, &comm.priority},        {"position", 0, 255, &comm.position},
        {"bullseye", -32768, 32767, &comm.bullseye}, {"evals", 0, 255, &comm.evals}};
    for (const Field& field : fields) {
        if (key != field.name) continue;
        int64_t number = 0;
        if (!Number(value, field.min, field.max, field.name, number)) return false;
        *field.target = static_cast<int>(number);
        return true;
    }
    return Fail("unknown comm field '" + std::string(key) + "'");
}

bool DescriptionParser::ParseComm(const Words& words) {
    if (words.size() < 2) return Fail("expected 'comm NUMBER [FIELD=VALUE ...] [: ENTRY ...]'");
    CommDescription comm;
    comm.line = line_;
    if (!ParseSequenceNumber(words[1], out_.comms.size(), kMaxComms - 1, "comm", comm.comm))
        return false;
    size_t i = 2;
    std::vector<std::string_view> seen;
    for (; i < words.size() && words[i] != ":"; ++i) {
        std::string_view key, value;
        if (!SplitPair(words[i], '=', key, value))
            return Fail("expected FIELD=VALUE: '" + words[i] + "'");
        for (std::string_view earlier : seen)
            if (earlier == key) return Fail("'" + std::string(key) + "' is given twice");
        seen.push_back(key);
        if (!ParseCommField(key, value, comm)) return false;
    }
    for (++i; i < words.size(); ++i) {
        int64_t entry = 0;
        if (!Number(words[i], -32768, 32767, "comm entry", entry)) return false;
        if (comm.entries.size() >= kMaxCommEntries)
            return Fail("a comm holds at most " + std::to_string(kMaxCommEntries) + " entries");
        comm.entries.push_back(static_cast<int>(entry));
    }
    out_.comms.push_back(std::move(comm));
    return true;
}

bool DescriptionParser::Finish() {
    line_ = 0;
    if (versionLine_ == 0) return Fail("the description is empty");
    if (out_.talkNameLine == 0) return Fail("no 'talk NAME.vox' statement");
    return true;
}

}  // namespace

bool ReadDescription(ByteSpan text, PackDescription& out, DescriptionError& error) {
    out = PackDescription{};
    error = DescriptionError{};
    DescriptionParser parser(out, error);
    std::string_view rest(reinterpret_cast<const char*>(text.data()), text.size());
    std::string_view line;
    int lineNumber = 0;
    while (NextTextLine(rest, line)) {
        if (!parser.ParseLine(++lineNumber, line)) return false;
    }
    return parser.Finish();
}

}  // namespace vox::pack

// voxtool dump TALK [--phrases FILE] [--names FILE]: the whole database as one JSON object,
// exactly as the files hold it, with the phrases, comm names and eval names a person gave it.
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "lookup/commnamelist.h"
#include "lookup/evalnamelist.h"
#include "lookup/phraselist.h"
#include "talkdata/bytes.h"
#include "tools/command.h"
#include "tools/jsonstream.h"
#include "tools/jsontext.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

using Json = nlohmann::ordered_json;

struct DumpOptions {
    std::string talkPath;
    std::string phrasesPath;
    std::string commNamesPath;
};

// Every array of the tables is written element by element as it is read: the talk file's
// directory alone can hold millions of slots.
void StreamTalk(JsonStream& out, ByteSpan file) {
    const size_t headerBytes = std::min<size_t>(file.size(), VoxFile::kHeaderSize);
    const uint32_t slots = VoxFile::SlotCount(file);
    out.BeginObject();
    out.Key("size");
    out.Value(file.size());
    out.Key("header");
    out.Value(HexBytes(file.data(), headerBytes));
    out.Key("slots");
    out.Value(slots);
    out.Key("entries");
    out.BeginArray();
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const uint64_t at = VoxFile::kHeaderSize + 4ull * slot;
        if (at + 4 > file.size()) break;
        Json entry = {{"slot", slot}, {"offset", ReadU32(file.data() + at)}};
        VoxEntry vox;
        if (VoxFile::GetVoxEntry(file, static_cast<int>(slot), vox)) {
            entry["decodedSize"] = vox.decodedSize;
            entry["codedSize"] = vox.codedSize;
        }
        out.Value(entry);
    }
    out.EndArray();
    out.EndObject();
}

// A record's elements in list order, ending at the first that lies outside the array; each
// element word's two halves under the names given.
Json ListJson(const ListTable& table, const ListRecord& record, const char* low, const char* high) {
    Json elements = Json::array();
    for (int position = 0; position < record.count; ++position) {
        const int64_t index = table.ElementIndex(record, position);
        if (index < 0) break;
        const uint32_t word = table.GetElementWord(static_cast<int>(index));
        elements.push_back(
            {{low, static_cast<int16_t>(word & 0xFFFF)}, {high, static_cast<int16_t>(word >> 16)}});
    }
    return elements;
}

void StreamRecords(JsonStream& out, const ListTable& table, const char* listName, const char* low,
                   const char* high) {
    out.BeginArray();
    for (int r = 0; r < table.GetCount(); ++r) {
        ListRecord record;
        table.GetRecord(r, record);
        out.Value({{"number", record.number},
                   {"offset", record.offset},
                   {listName, ListJson(table, record, low, high)}});
    }
    out.EndArray();
}

void StreamComms(JsonStream& out, const CommTable& table) {
    out.BeginArray();
    for (int c = 0; c < table.GetCount(); ++c) {
        CommRecord record;
        // Records lie back to back from the start: the first that cannot be read is past the
        // end of the file, and so is every later one, however many record 0 claims.
        if (!table.GetCommRecord(c, record)) break;
        Json entries = Json::array();
        for (int position = 0; position < record.elements; ++position)
            entries.push_back(table.GetCommEntry(record, position));
        out.Value({{"warp", record.warp},
                   {"priority", int{record.priority}},
                   {"position", int{record.position}},
                   {"bullseye", record.bullseye},
                   {"elements", int{record.elements}},
                   {"evals", int{record.evals}},
                   {"listOffset", record.listOffset},
                   {"entries", std::move(entries)}});
    }
    out.EndArray();
}

Json PhrasesJson(const PhraseList& phrases) {
    Json out = Json::array();
    for (int f = 0; f < static_cast<int>(phrases.GetSize()); ++f) {
        for (int voice = 0; voice < FragTable::kVoiceCount; ++voice) {
            const std::string text = phrases.GetPhrase(f, voice);
            if (!text.empty())
                out.push_back({{"fragment", f}, {"voice", voice}, {"text", Utf8Text(text)}});
        }
    }
    return out;
}

Json CommNamesJson(const CommNameList& names) {
    Json out = Json::array();
    for (int c = 0; c < static_cast<int>(names.GetSize()); ++c) {
        const std::string name = names.GetCommName(c);
        if (!name.empty()) out.push_back({{"comm", c}, {"name", Utf8Text(name)}});
    }
    return out;
}

// Only the evals that were given a name: the others answer with their own number.
Json EvalNamesJson(const EvalNameList& names) {
    Json out = Json::array();
    for (int e = 0; e < static_cast<int>(names.GetSize()); ++e) {
        std::string name;
        names.GetEvalName(e, name);
        if (name != std::to_string(e)) out.push_back({{"eval", e}, {"name", Utf8Text(name)}});
    }
    return out;
}

// A side file named on the command line must be read: a typo would otherwise dump no names.
template <typename List>
bool LoadNamed(const std::string& path, List& list) {
    if (!CheckInputFile(path)) return false;
    if (list.LoadFile(path)) return true;
    Fail(Status::Failure(path + ": cannot be read"));
    return false;
}

void RunDump(const DumpOptions& options) {
    PhraseList namedPhrases;
    CommNameList namedComms;
    if (!options.phrasesPath.empty() && !LoadNamed(options.phrasesPath, namedPhrases)) return;
    if (!options.commNamesPath.empty() && !LoadNamed(options.commNamesPath, namedComms)) return;
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    EvalNameList evalNames;
    evalNames.Load(doc.GetProfile());
    JsonStream out(std::cout);
    out.BeginObject();
    out.Key("talk");
    StreamTalk(out, doc.GetVoxFile().Bytes());
    out.Key("frags");
    StreamRecords(out, doc.GetFragTable(), "voices", "voice", "vox");
    out.Key("evals");
    StreamRecords(out, doc.GetEvalTable(), "alternatives", "index", "frag");
    out.Key("comms");
    StreamComms(out, doc.GetCommTable());
    out.Key("phrases");
    out.Value(PhrasesJson(options.phrasesPath.empty() ? doc.GetPhrases() : namedPhrases));
    out.Key("commNames");
    out.Value(CommNamesJson(options.commNamesPath.empty() ? doc.GetCommNames() : namedComms));
    out.Key("evalNames");
    out.Value(EvalNamesJson(evalNames));
    out.EndObject();
}

}  // namespace

void RegisterDump(Command& tool) {
    auto options = std::make_shared<DumpOptions>();
    Command command = tool.AddCommand(
        "dump", "Print the whole database as one JSON object, with its phrases and names");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddOption("--phrases", options->phrasesPath,
                      "the phrase file (default: the remembered one)");
    command.AddOption("--names,--comm-names", options->commNamesPath,
                      "the comm-name file (default: the remembered one)");
    command.OnRun([options] { RunDump(*options); });
}

}  // namespace vox::tool

// voxtool info TALK [--json]: a short summary of a database, for a person or for a script.
#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "tools/command.h"
#include "tools/jsontext.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct Summary {
    uint32_t slots = 0;
    uint32_t presentEntries = 0;
    uint64_t codedBytes = 0;
    uint64_t decodedBytes = 0;
    long voices = 0;
    long alternatives = 0;
    long commEntries = 0;
};

Summary Summarise(const CVoxbenchDoc& doc) {
    Summary summary;
    const ByteSpan talk = doc.GetVoxFile().Bytes();
    summary.slots = VoxFile::SlotCount(talk);
    for (uint32_t slot = 0; slot < summary.slots; ++slot) {
        VoxEntry entry;
        if (!VoxFile::GetVoxEntry(talk, static_cast<int>(slot), entry)) continue;
        ++summary.presentEntries;
        summary.codedBytes += entry.codedSize;
        summary.decodedBytes += entry.decodedSize;
    }
    ListRecord record;
    for (int f = 0; doc.GetFragRecord(f, record); ++f)
        summary.voices += std::max<int>(record.count, 0);
    for (int e = 0; doc.GetEvalRecord(e, record); ++e)
        summary.alternatives += std::max<int>(record.count, 0);
    CommRecord comm;
    for (int c = 0; doc.GetCommRecord(c, comm); ++c) summary.commEntries += comm.elements;
    return summary;
}

struct InfoOptions {
    std::string talkPath;
    bool json = false;
};

double SpeechSeconds(const Summary& s) { return static_cast<double>(s.decodedBytes) / 16000.0; }

void PrintJson(const std::string& talkPath, const CVoxbenchDoc& doc, const Summary& s) {
    const nlohmann::ordered_json out = {{"talk", Utf8Text(talkPath)},
                                        {"size", doc.GetVoxFile().GetSize()},
                                        {"slots", s.slots},
                                        {"recordings", s.presentEntries},
                                        {"codedBytes", s.codedBytes},
                                        {"decodedBytes", s.decodedBytes},
                                        {"seconds", std::round(SpeechSeconds(s) * 1000) / 1000},
                                        {"fragments", doc.GetFragCount()},
                                        {"voices", s.voices},
                                        {"evals", doc.GetEvalCount()},
                                        {"alternatives", s.alternatives},
                                        {"comms", doc.GetCommCount()},
                                        {"commEntries", s.commEntries},
                                        {"phrases", doc.GetPhrases().GetSize()},
                                        {"commNames", doc.GetCommNames().GetSize()}};
    std::cout << out.dump(2) << '\n';
}

void PrintText(const std::string& talkPath, const CVoxbenchDoc& doc, const Summary& s) {
    const double seconds = SpeechSeconds(s);
    std::cout << "Talk file:   " << talkPath << " (" << doc.GetVoxFile().GetSize() << " bytes)\n"
              << "Recordings:  " << s.presentEntries << " of " << s.slots << " slots, "
              << s.codedBytes << " coded bytes, " << static_cast<long>(seconds + 0.5)
              << " s of speech\n"
              << "Fragments:   " << doc.GetFragCount() << " with " << s.voices << " voices\n"
              << "Evals:       " << doc.GetEvalCount() << " with " << s.alternatives
              << " alternatives\n"
              << "Comms:       " << doc.GetCommCount() << " with " << s.commEntries << " entries\n"
              << "Phrases:     " << doc.GetPhrases().GetSize() << " fragments named\n"
              << "Comm names:  " << doc.GetCommNames().GetSize() << " comms named\n";
}

void RunInfo(const InfoOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    const CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    const Summary summary = Summarise(doc);
    if (options.json)
        PrintJson(options.talkPath, doc, summary);
    else
        PrintText(options.talkPath, doc, summary);
}

}  // namespace

void RegisterInfo(Command& tool) {
    auto options = std::make_shared<InfoOptions>();
    Command command = tool.AddCommand("info", "Summarise a database");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddFlag("--json", options->json, "the summary as one JSON object");
    command.OnRun([options] { RunInfo(*options); });
}

}  // namespace vox::tool

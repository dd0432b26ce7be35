// voxtool info TALK: a short summary of a database for a person.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

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

void RunInfo(const std::string& talkPath) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(talkPath)) return;
    const CVoxbenchDoc& doc = database.Doc();
    const Summary s = Summarise(doc);
    const double seconds = static_cast<double>(s.decodedBytes) / 16000.0;
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

}  // namespace

void RegisterInfo(CLI::App& app) {
    auto talkPath = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("info", "Summarise a database");
    command->add_option("TALK", *talkPath, "the talk file (*.vox)")->required();
    command->callback([talkPath] { RunInfo(*talkPath); });
}

}  // namespace vox::tool

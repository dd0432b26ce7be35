// voxtool dump TALK: the whole database as one JSON object, exactly as the files hold it.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <memory>

#include "talkdata/bytes.h"
#include "tools/jsonwriter.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

void DumpTalk(std::ostream& out, ByteSpan file) {
    const size_t headerBytes = std::min<size_t>(file.size(), VoxFile::kHeaderSize);
    const uint32_t slots = VoxFile::SlotCount(file);
    out << "{\"talk\": {\"size\": " << file.size() << ", \"header\": \""
        << HexBytes(file.data(), headerBytes) << "\", \"slots\": " << slots << ", \"entries\": [";
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const uint64_t at = VoxFile::kHeaderSize + 4ull * slot;
        if (at + 4 > file.size()) break;
        out << (slot == 0 ? "\n  " : ",\n  ") << "{\"slot\": " << slot
            << ", \"offset\": " << ReadU32(file.data() + at);
        VoxEntry entry;
        if (VoxFile::GetVoxEntry(file, static_cast<int>(slot), entry))
            out << ", \"decodedSize\": " << entry.decodedSize
                << ", \"codedSize\": " << entry.codedSize;
        out << '}';
    }
    out << "]},\n";
}

// Lists a record's elements in list order, ending at the first that lies outside the array.
template <typename WriteElement>
void DumpList(std::ostream& out, const ListTable& table, const ListRecord& record,
              WriteElement writeElement) {
    for (int position = 0; position < record.count; ++position) {
        const int64_t index = table.ElementIndex(record, position);
        if (index < 0) break;
        out << (position == 0 ? "" : ", ");
        writeElement(table.GetElementWord(static_cast<int>(index)));
    }
}

void DumpFrags(std::ostream& out, const FragTable& table) {
    out << " \"frags\": [";
    for (int r = 0; r < table.GetCount(); ++r) {
        ListRecord record;
        table.GetRecord(r, record);
        out << (r == 0 ? "\n  " : ",\n  ") << "{\"number\": " << record.number
            << ", \"offset\": " << record.offset << ", \"voices\": [";
        DumpList(out, table, record, [&out](uint32_t word) {
            out << "{\"voice\": " << static_cast<int16_t>(word & 0xFFFF)
                << ", \"vox\": " << static_cast<int16_t>(word >> 16) << '}';
        });
        out << "]}";
    }
    out << "],\n";
}

void DumpEvals(std::ostream& out, const EvalTable& table) {
    out << " \"evals\": [";
    for (int r = 0; r < table.GetCount(); ++r) {
        ListRecord record;
        table.GetRecord(r, record);
        out << (r == 0 ? "\n  " : ",\n  ") << "{\"number\": " << record.number
            << ", \"offset\": " << record.offset << ", \"alternatives\": [";
        DumpList(out, table, record, [&out](uint32_t word) {
            out << "{\"index\": " << static_cast<int16_t>(word & 0xFFFF)
                << ", \"frag\": " << static_cast<int16_t>(word >> 16) << '}';
        });
        out << "]}";
    }
    out << "],\n";
}

void DumpComms(std::ostream& out, const CommTable& table) {
    out << " \"comms\": [";
    for (int c = 0; c < table.GetCount(); ++c) {
        CommRecord record;
        // Records lie back to back from the start: the first that cannot be read is past the
        // end of the file, and so is every later one, however many record 0 claims.
        if (!table.GetCommRecord(c, record)) break;
        out << (c == 0 ? "\n  " : ",\n  ") << "{\"warp\": " << record.warp
            << ", \"priority\": " << int{record.priority}
            << ", \"position\": " << int{record.position} << ", \"bullseye\": " << record.bullseye
            << ", \"elements\": " << int{record.elements} << ", \"evals\": " << int{record.evals}
            << ", \"listOffset\": " << record.listOffset << ", \"entries\": [";
        for (int position = 0; position < record.elements; ++position)
            out << (position == 0 ? "" : ", ") << table.GetCommEntry(record, position);
        out << "]}";
    }
    out << "]}\n";
}

void RunDump(const std::string& talkPath) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    std::ostream& out = std::cout;
    DumpTalk(out, doc.GetVoxFile().Bytes());
    DumpFrags(out, doc.GetFragTable());
    DumpEvals(out, doc.GetEvalTable());
    DumpComms(out, doc.GetCommTable());
    out.flush();
    if (!out) {
        PrintError("cannot write the output");
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterDump(CLI::App& app) {
    auto talkPath = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("dump", "Print the whole database as one JSON object");
    command->add_option("TALK", *talkPath, "the talk file (*.vox)")->required();
    command->callback([talkPath] { RunDump(*talkPath); });
}

}  // namespace vox::tool

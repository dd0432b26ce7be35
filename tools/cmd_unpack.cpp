// voxtool unpack TALK DIR: the whole database as ordinary files in a new or empty folder, or
// with --update into the folder of an earlier unpack, changing only what differs.
#include <memory>
#include <vector>

#include "pack/unpacker.h"
#include "tools/command.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct UnpackOptions {
    std::string talkPath;
    std::string folder;
    std::string phrasesPath;
    std::string commNamesPath;
    bool update = false;
};

// The side files the document itself would show: the remembered ones, when they gave it
// anything; an option names another file instead.
std::string SideFile(const std::string& option, bool loaded, Profile& profile, const char* key) {
    if (!option.empty()) return option;
    return loaded ? profile.GetString("Data", key, "") : std::string();
}

void PrintUpdateCounts(const std::string& folder, const pack::Unpacker& unpacker) {
    const pack::FolderUpdate::Counts& counts = unpacker.GetUpdateCounts();
    if (counts.written + counts.unchanged + counts.removed == 0) return;  // a plain unpack
    PrintNote(folder + ": " + std::to_string(counts.written) + " files written, " +
              std::to_string(counts.unchanged) + " unchanged, " + std::to_string(counts.removed) +
              " removed");
}

void RunUnpack(const UnpackOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    pack::UnpackSource source;
    const size_t slash = options.talkPath.rfind('/');
    source.talkName =
        slash == std::string::npos ? options.talkPath : options.talkPath.substr(slash + 1);
    source.talk = doc.GetVoxFile().Bytes();
    source.frags = &doc.GetFragTable();
    source.evals = &doc.GetEvalTable();
    source.comm = doc.GetCommTable().Bytes();
    source.phrasesPath =
        SideFile(options.phrasesPath, !doc.GetPhrases().IsEmpty(), doc.GetProfile(), "Phrases");
    source.commNamesPath =
        SideFile(options.commNamesPath, !doc.GetCommNames().IsEmpty(), doc.GetProfile(), "Comms");
    History history;
    std::string why;
    if (!ReadHistory(options.talkPath, history, &why)) {
        PrintError(HistoryPath(options.talkPath) + ": " + why);
        ExitStatus() = kExitFailure;
        return;
    }
    source.history = &history;
    // Notes wait for the end so that they do not break into the progress line.
    std::vector<std::string> notes;
    pack::Unpacker unpacker([&notes](const std::string& note) { notes.push_back(note); });
    TerminalProgress progress("unpack");
    const bool unpacked = options.update ? unpacker.Update(source, options.folder, progress.Fn())
                                         : unpacker.Unpack(source, options.folder, progress.Fn());
    progress.Finish();
    for (const std::string& note : notes) PrintNote(note);
    if (unpacked && options.update) PrintUpdateCounts(options.folder, unpacker);
    if (unpacker.Stopped()) return;  // Finish has said so; nothing was written
    if (!unpacked) {
        PrintError(unpacker.GetError());
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterUnpack(Command& tool) {
    auto options = std::make_shared<UnpackOptions>();
    Command command = tool.AddCommand(
        "unpack", "Write a database as a folder of ordinary files (a description and wave files)");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddOption("DIR", options->folder, "a new or empty folder").Required();
    command.AddFlag("--update", options->update,
                    "DIR holds an earlier unpack: rewrite only the files that differ");
    command.AddOption("--phrases", options->phrasesPath,
                      "the phrase file to include (default: the remembered one)");
    command.AddOption("--comm-names", options->commNamesPath,
                      "the comm-name file to include (default: the remembered one)");
    command.OnRun([options] { RunUnpack(*options); });
}

}  // namespace vox::tool

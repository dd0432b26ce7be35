#include "ui/documentcommands.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "lookup/crossrefsearch.h"
#include "lookup/lenientnumber.h"

namespace vox {
namespace {

enum SearchKind { kFragInEval, kEvalInComm, kFragInComm };
constexpr int kFindTemplate = 136;
constexpr int kResultListTemplate = 137;

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

void SaveTable(CVoxbenchDoc& doc, bool frags, const char* fileName, const char* filter) {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "bin";
    request.fileName = fileName;
    request.filter = filter;
    request.overwritePrompt = true;
    const std::optional<std::string> chosen = doc.GetPrompter().AskFile(request);
    if (!chosen) return;
    const Status saved = frags ? doc.SaveFragTable(*chosen) : doc.SaveEvalTable(*chosen);
    if (!saved) doc.GetPrompter().ShowMessage(saved.error);
}

void LoadSideFile(CVoxbenchDoc& doc, bool phrases) {
    FileDialogRequest request;
    request.defaultExtension = "csv";
    request.filter = phrases ? "Phrase Files (*.csv)|*.csv|All Files (*.*)|*.*||"
                             : "Comm Files (*.csv)|*.csv|All Files (*.*)|*.*||";
    request.mustExist = true;
    const std::optional<std::string> chosen = doc.GetPrompter().AskFile(request);
    if (!chosen) return;
    if (phrases)
        doc.LoadPhraseFile(*chosen);
    else
        doc.LoadCommNameFile(*chosen);
    Profile& profile = doc.GetProfile();
    profile.WriteString("Data", phrases ? "Phrases" : "Comms", AbsolutePath(*chosen));
    profile.Flush();
}

void RunSearch(CVoxbenchDoc& doc, SearchKind kind) {
    Prompter& prompter = doc.GetPrompter();
    const std::optional<std::string> text = prompter.AskText(kFindTemplate, "Find", "Find ");
    if (!text) return;
    const int n = ParseLenientInt(*text);
    std::vector<int> matches;
    if (kind == kFragInEval)
        matches = FindFragInEval(doc.GetEvalTable(), n);
    else if (kind == kEvalInComm)
        matches = FindEvalInComm(doc.GetCommTable(), n);
    else
        matches = FindFragInComm(doc.GetCommTable(), doc.GetEvalTable(), n);
    if (matches.empty()) {
        prompter.ShowMessage("No matches");
        return;
    }
    prompter.ShowNumberList(kResultListTemplate, "Result List", "Number", matches);
}

}  // namespace

void OnSaveEvalFile(CVoxbenchDoc& doc) {
    SaveTable(doc, false, kEvalFileName, "Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
}

void OnSaveFragFile(CVoxbenchDoc& doc) {
    SaveTable(doc, true, kFragFileName, "Frag Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
}

void OnLoadPhrases(CVoxbenchDoc& doc) { LoadSideFile(doc, true); }
void OnLoadCommNames(CVoxbenchDoc& doc) { LoadSideFile(doc, false); }
void OnFindFragInEval(CVoxbenchDoc& doc) { RunSearch(doc, kFragInEval); }
void OnFindEvalInCommand(CVoxbenchDoc& doc) { RunSearch(doc, kEvalInComm); }
void OnFindFragInCommand(CVoxbenchDoc& doc) { RunSearch(doc, kFragInComm); }

bool OnSaveDocument(CVoxbenchDoc& doc) {
    if (doc.GetFragTable().IsModified()) OnSaveFragFile(doc);
    if (doc.GetEvalTable().IsModified()) OnSaveEvalFile(doc);
    doc.FlushTalkFile();
    doc.SetModifiedFlag(false);
    return true;
}

}  // namespace vox

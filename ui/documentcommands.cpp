#include "ui/documentcommands.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "lookup/crossrefsearch.h"
#include "lookup/lenientnumber.h"
#include "ui/dialogfolders.h"

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

// False when the person cancelled or the table could not be written (the reason was shown).
bool SaveTable(CVoxbenchDoc& doc, bool frags, const char* fileName, const char* filter) {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "bin";
    request.fileName = fileName;
    request.filter = filter;
    request.overwritePrompt = true;
    // Beside the talk file, where the next open looks for it.
    request.folder = TalkFileFolder(doc);
    const std::optional<std::string> chosen = doc.GetPrompter().AskFile(request);
    if (!chosen || chosen->empty()) return false;
    const Status saved = frags ? doc.SaveFragTable(*chosen) : doc.SaveEvalTable(*chosen);
    if (!saved) doc.GetPrompter().ShowMessage(saved.error);
    return static_cast<bool>(saved);
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
    const char* prompt = kind == kFragInEval   ? "Fragment in evals:"
                         : kind == kEvalInComm ? "Eval in commands:"
                                               : "Fragment in commands:";
    const std::optional<std::string> text = prompter.AskText(kFindTemplate, "Find", prompt);
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

bool OnSaveEvalFile(CVoxbenchDoc& doc) {
    return SaveTable(doc, false, kEvalFileName,
                     "Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
}

bool OnSaveFragFile(CVoxbenchDoc& doc) {
    return SaveTable(doc, true, kFragFileName,
                     "Frag Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
}

void OnLoadPhrases(CVoxbenchDoc& doc) { LoadSideFile(doc, true); }
void OnLoadCommNames(CVoxbenchDoc& doc) { LoadSideFile(doc, false); }
void OnFindFragInEval(CVoxbenchDoc& doc) { RunSearch(doc, kFragInEval); }
void OnFindEvalInCommand(CVoxbenchDoc& doc) { RunSearch(doc, kEvalInComm); }
void OnFindFragInCommand(CVoxbenchDoc& doc) { RunSearch(doc, kFragInComm); }

bool OnSaveDocument(CVoxbenchDoc& doc) {
    if (doc.IsReadOnly()) {
        doc.GetPrompter().ShowMessage(doc.GetPathName() + " is open read-only; nothing was saved.");
        return false;
    }
    // A table left unsaved (Cancel in its dialog, or a failed write) keeps the document
    // modified, and whatever asked for the save (Exit, Open, New) must not go on.
    if (doc.GetFragTable().IsModified() && !OnSaveFragFile(doc)) return false;
    if (doc.GetEvalTable().IsModified() && !OnSaveEvalFile(doc)) return false;
    if (!doc.FlushTalkFile()) {
        doc.GetPrompter().ShowMessage("File save failed\n" + doc.GetPathName());
        return false;
    }
    doc.SetModifiedFlag(false);
    return true;
}

}  // namespace vox

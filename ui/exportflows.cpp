#include "ui/exportflows.h"

#include <climits>
#include <optional>
#include <utility>
#include <vector>

#include "talkdata/safefile.h"
#include "ui/dialogfolders.h"
#include "workbench/fragmentexport.h"

namespace vox {
namespace {

constexpr int kFragRangeTemplate = 139;
constexpr int kFromFragControl = 1149;
constexpr int kToFragControl = 1147;
constexpr const char* kWaveFilter = "Wave Files (*.wav)|*.wav|All files (*.*)|*.*||";

FileDialogRequest WaveSaveRequest(const std::string& offeredName) {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "wav";
    request.fileName = offeredName;
    request.filter = kWaveFilter;
    request.overwritePrompt = true;
    return request;
}

// The range dialog's numbers; the dialog takes only whole numbers that fit an int.
std::optional<std::pair<int, int>> AskRange(Prompter& prompter, int fragmentCount) {
    NumberDialogRequest request;
    request.templateId = kFragRangeTemplate;
    request.caption = "Choose a fragment range to save";
    request.fields = {{kFromFragControl, "From Frag:", 0},
                      {kToFragControl, "To Frag:", fragmentCount}};
    const std::optional<std::vector<long long>> answer = prompter.AskNumbers(request);
    if (!answer || answer->size() != 2) return std::nullopt;
    for (long long value : *answer) {
        if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    }
    return std::make_pair(static_cast<int>((*answer)[0]), static_cast<int>((*answer)[1]));
}

}  // namespace

void SaveFragmentWave(CVoxbenchDoc& doc, int fragment, int voice) {
    if (!HasRecording(doc, fragment, voice)) return;
    const std::optional<std::string> path =
        AskFileInRememberedFolder(doc, WaveSaveRequest(""), folder::kWaveSave);
    if (!path || path->empty()) return;
    std::vector<uint8_t> wave;
    // A recording that does not decode is not saved: the buffer would hold no sound.
    if (!MakeFragmentWave(doc, fragment, voice, wave)) return;
    std::string why;
    // Said, so that nobody takes the file for saved.
    if (!WriteFileSafely(*path, wave, &why)) {
        doc.GetPrompter().ShowMessage("File save failed\n" + *path + ": " + why);
    }
}

void SaveFragmentRange(CVoxbenchDoc& doc, const ProgressFn& progress,
                       const std::function<void()>& progressDone) {
    Prompter& prompter = doc.GetPrompter();
    const std::optional<std::string> listPath =
        AskFileInRememberedFolder(doc, WaveSaveRequest("Filenames.csv"), folder::kExportList);
    if (!listPath || listPath->empty()) return;
    const std::optional<std::pair<int, int>> range = AskRange(prompter, doc.GetFragCount());
    if (!range) return;
    const ExportResult result =
        ExportFragmentRange(doc, range->first, range->second, *listPath, progress);
    if (progressDone) progressDone();
    if (!result.listWritten) {
        prompter.ShowMessage("File save failed\n" + result.error);
        return;
    }
    if (range->first > range->second) return;
    prompter.ShowMessage(std::to_string(result.saved) + " .wav files saved");
    if (result.unwritten > 0) prompter.ShowMessage("File save failed\n" + result.error);
}

}  // namespace vox

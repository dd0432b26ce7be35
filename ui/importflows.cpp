#include "ui/importflows.h"

#include <climits>
#include <optional>
#include <vector>

#include "talkdata/talklayout.h"
#include "workbench/recording.h"

namespace vox {
namespace {

constexpr int kVoiceIndexTemplate = 135;
constexpr int kVoiceIdControl = 1093;

FileDialogRequest WaveOpenRequest() {
    FileDialogRequest request;
    request.defaultExtension = "wav";
    request.filter = "Wave Files (*.wav)|*.wav|All files (*.*)|*.*||";
    request.mustExist = true;
    return request;
}

// The file dialog, then the wave file and the codec; says what failed.
std::optional<CodedRecording> AskAndEncode(CVoxbenchDoc& doc) {
    Prompter& prompter = doc.GetPrompter();
    const std::optional<std::string> path = prompter.AskFile(WaveOpenRequest());
    if (!path) return std::nullopt;
    CodedRecording recording;
    const Status read = ReadRecording(doc, *path, recording);
    if (!read) {
        prompter.ShowMessage(read.error);
        return std::nullopt;
    }
    return recording;
}

// Whether the fragment's voice names a slot in the talk file: the form's Replace says nothing
// when it does not.
bool HasSlot(CVoxbenchDoc& doc, int fragment, int voice) {
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return false;
    const int voxIndex = doc.FindVoxIndex(record, voice);
    return voxIndex >= 0 && doc.GetVoxFile().At(static_cast<uint32_t>(
                                TalkSlotOffset(static_cast<uint64_t>(voxIndex)))) != nullptr;
}

// The Voice Index dialog; nothing when cancelled. The dialog only takes whole numbers that fit
// an int, so anything else is no answer.
std::optional<int> AskVoice(Prompter& prompter, int preset) {
    NumberDialogRequest request;
    request.templateId = kVoiceIndexTemplate;
    request.caption = "Voice Index";
    request.fields = {{kVoiceIdControl, "Voice Id", preset}};
    const std::optional<std::vector<long long>> answer = prompter.AskNumbers(request);
    if (!answer || answer->size() != 1) return std::nullopt;
    const long long voice = answer->front();
    if (voice < INT_MIN || voice > INT_MAX) return std::nullopt;
    return static_cast<int>(voice);
}

}  // namespace

void ReplaceFromWave(CVoxbenchDoc& doc, int fragment, int voice) {
    doc.GetPrompter().ShowMessage(
        "This function only replaces the file pointer !\n"
        "The new .wav file will be appended to the voxfile !");
    ReplaceWithWave(doc, fragment, voice);
}

bool ReplaceWithWave(CVoxbenchDoc& doc, int fragment, int voice) {
    const std::optional<CodedRecording> wave = AskAndEncode(doc);
    if (!wave || !HasSlot(doc, fragment, voice)) return false;
    const Status replaced =
        doc.ReplaceFragment(fragment, voice, wave->coded.get(), wave->codedLen, wave->decodedLen);
    // A write that failed is said, with the file and the reason.
    if (!replaced) doc.GetPrompter().ShowMessage(replaced.error);
    return replaced.Ok();
}

void ImportWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice, const ProgressFn& progress) {
    AddFromWave(doc, fragment, fragmentVoice, progress);
}

bool AddFromWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice, const ProgressFn& progress) {
    std::optional<CodedRecording> wave = AskAndEncode(doc);
    if (!wave) return false;
    const std::optional<int> voice = AskVoice(doc.GetPrompter(), fragmentVoice);
    if (!voice) return false;
    const Status added = doc.AddFragment(fragment, *voice, std::move(wave->coded), wave->codedLen,
                                         wave->decodedLen, progress);
    if (!added.error.empty()) doc.GetPrompter().ShowMessage(added.error);
    if (!added) doc.GetPrompter().ShowMessage("Failed to add fragment");
    fragmentVoice = *voice;
    return added.Ok();
}

}  // namespace vox

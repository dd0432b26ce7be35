#include "ui/importflows.h"

#include <QUndoStack>
#include <climits>
#include <optional>
#include <vector>

#include "audio/soundfilereader.h"
#include "talkdata/talklayout.h"
#include "ui/dialogfolders.h"
#include "ui/dialogs/undocommands.h"
#include "workbench/fragmentexport.h"
#include "workbench/recording.h"

namespace vox {
namespace {

constexpr int kVoiceIndexTemplate = 135;
constexpr int kVoiceIdControl = 1093;

FileDialogRequest SoundOpenRequest() {
    FileDialogRequest request;
    request.defaultExtension = "wav";
    // Takes come from a studio as WAV, FLAC, Ogg or AIFF; every one of them is converted.
    request.filter =
        "Sound Files (*.wav;*.flac;*.ogg;*.oga;*.aif;*.aiff)|*.wav;*.flac;*.ogg;*.oga;*.aif;"
        "*.aiff|Wave Files (*.wav)|*.wav|All files (*.*)|*.*||";
    request.mustExist = true;
    request.optionLabel = "Normalize loudness";
    return request;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string Join(const std::vector<std::string>& lines, const char* separator) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
    return text;
}

// A take chosen in the file dialog, read and coded.
struct ChosenTake {
    std::string path;
    CodedRecording recording;
};

// The file dialog, then the take: read, measured, normalized when the dialog's check box says
// so, and coded. A take too long for one entry is cut only when the person agrees. Says what
// failed.
std::optional<ChosenTake> AskAndEncode(CVoxbenchDoc& doc, RecordingRequest request) {
    Prompter& prompter = doc.GetPrompter();
    const std::optional<FileChoice> choice =
        AskFileWithOptionInRememberedFolder(doc, SoundOpenRequest(), folder::kWaveOpen);
    if (!choice) return std::nullopt;
    request.normalize = choice->option;
    RecordingResult read = ReadRecording(doc, choice->path, request);
    if (read.tooLong) {
        if (!prompter.AskYesNo(TrimQuestion(read))) return std::nullopt;
        request.keepFirstPart = true;
        read = ReadRecording(doc, choice->path, request);
    }
    if (!read.Ok()) {
        prompter.ShowMessage(read.error);
        return std::nullopt;
    }
    return ChosenTake{choice->path, std::move(read.recording)};
}

// The confirmation step: the new take as it will sound once coded, and the recording it is
// heard against, before anything is written.
bool ConfirmTake(CVoxbenchDoc& doc, const ChosenTake& take, const std::string& question,
                 int fragment, int currentVoice) {
    const CodedRecording& recording = take.recording;
    std::string text = question + "\n" + FormatSeconds(recording.decodedLen / 16000.0, false) +
                       ", loudness " + FormatLoudness(recording.levels.loudness) + ", peak " +
                       FormatDbfs(recording.levels.peakDbfs);
    for (const std::string& note : recording.notes) text += "\n" + note;
    std::vector<PreviewSound> sounds = {
        {"Play &New", [&doc, &recording] { PlayRecording(doc, recording); }}};
    if (HasRecording(doc, fragment, currentVoice)) {
        sounds.push_back({"Play &Current", [&doc, fragment, currentVoice] {
                              PlayFragment(doc, fragment, currentVoice);
                          }});
    }
    return doc.GetPrompter().ConfirmWithPreview(text, sounds);
}

// After a take was stored: what was done to it in the status bar, what a listener would
// notice in a message box.
void ReportStored(Prompter& prompter, const CodedRecording& recording) {
    if (!recording.notes.empty()) prompter.ShowStatus(Join(recording.notes, "; "));
    if (!recording.warnings.empty()) {
        prompter.ShowMessage("The new recording was stored; listen to it again:\n" +
                             Join(recording.warnings, "\n"));
    }
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

// A slot that moved (also when only its history line failed) becomes an undoable command. Slot 0
// moves by a rewrite that moves the entry it held too: before is followed to where it lies now.
void RecordReplace(CVoxbenchDoc& doc, QUndoStack* undo, int fragment, int voice, uint32_t before,
                   size_t movesBefore) {
    uint32_t after = 0;
    if (before == 0 || !doc.GetSlotOffset(fragment, voice, after) ||
        !doc.FollowEntry(before, movesBefore) || after == before) {
        return;
    }
    RecordCommand(undo, new PointVoiceSlot(doc, PointVoiceSlot::ReplaceText(fragment, voice),
                                           fragment, voice, before, after));
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

void ReplaceFromWave(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo) {
    doc.GetPrompter().ShowMessage(
        "This function only replaces the file pointer !\n"
        "The new .wav file will be appended to the voxfile !");
    ReplaceWithWave(doc, fragment, voice, undo);
}

bool ReplaceWithWave(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo) {
    RecordingRequest request;
    request.fragment = fragment;
    request.replacedVoice = voice;
    const std::optional<ChosenTake> take = AskAndEncode(doc, request);
    if (!take || !HasSlot(doc, fragment, voice)) return false;
    const std::string question = "Replace the recording of fragment " + std::to_string(fragment) +
                                 " in voice " + std::to_string(voice) + " with " +
                                 FileName(take->path) + "?";
    if (!ConfirmTake(doc, *take, question, fragment, voice)) return false;
    const CodedRecording& recording = take->recording;
    uint32_t before = 0;
    const bool hadEntry = doc.GetSlotOffset(fragment, voice, before);
    const size_t movesBefore = doc.GetEntryMoveCount();
    const Status replaced =
        doc.ReplaceFragment(fragment, voice, recording.coded.get(), recording.codedLen,
                            recording.decodedLen, recording.source);
    RecordReplace(doc, undo, fragment, voice, hadEntry ? before : 0, movesBefore);
    // A write that failed is said, with the file and the reason.
    if (!replaced) {
        doc.GetPrompter().ShowMessage(replaced.error);
        return false;
    }
    ReportStored(doc.GetPrompter(), recording);
    return true;
}

void ImportWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice, const ProgressFn& progress,
                QUndoStack* undo) {
    AddFromWave(doc, fragment, fragmentVoice, progress, undo);
}

bool AddFromWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice, const ProgressFn& progress,
                 QUndoStack* undo) {
    RecordingRequest request;
    request.fragment = fragment;
    std::optional<ChosenTake> take = AskAndEncode(doc, request);
    if (!take) return false;
    // A new fragment has no recording to hear the take against, nor a voice to add it to yet.
    ListRecord record;
    const bool newFragment = !doc.GetFragRecord(fragment, record);
    if (!newFragment) {
        const std::string question = "Add " + FileName(take->path) +
                                     " as a new voice of fragment " + std::to_string(fragment) +
                                     "?";
        if (!ConfirmTake(doc, *take, question, fragment, fragmentVoice)) return false;
    }
    const std::optional<int> voice = AskVoice(doc.GetPrompter(), fragmentVoice);
    if (!voice) return false;
    CodedRecording& recording = take->recording;
    const Status added = doc.AddFragment(fragment, *voice, std::move(recording.coded),
                                         recording.codedLen, recording.decodedLen, progress);
    if (!added.error.empty()) doc.GetPrompter().ShowMessage(added.error);
    if (!added) doc.GetPrompter().ShowMessage("Failed to add fragment");
    fragmentVoice = *voice;
    if (!added) return false;
    // The voice points at the entry the add appended; an undo takes only the table's part back.
    if (doc.GetFragRecord(fragment, record)) {
        const int voxIndex = doc.FindVoxIndex(record, *voice);
        if (newFragment)
            RecordCommand(undo, new AddNewFragment(doc, fragment, *voice, voxIndex));
        else
            RecordCommand(undo, new AddFragmentVoice(doc, fragment, *voice, voxIndex));
    }
    ReportStored(doc.GetPrompter(), recording);
    return added.Ok();
}

}  // namespace vox

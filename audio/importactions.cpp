#include "audio/importactions.h"

#include <climits>
#include <optional>
#include <vector>

#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"

namespace vox {
namespace {

constexpr int kVoiceIndexTemplate = 135;
constexpr int kVoiceIdControl = 1093;

// A recording ready for the talk file.
struct CodedWave {
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    uint32_t decodedLen = 0;  // the whole wave's PCM length, also beyond what the codec takes
};

FileDialogRequest WaveOpenRequest() {
    FileDialogRequest request;
    request.defaultExtension = "wav";
    request.filter = "Wave Files (*.wav)|*.wav|All files (*.*)|*.*||";
    request.mustExist = true;
    return request;
}

// The file dialog, the wave file and the codec; says what failed.
std::optional<CodedWave> AskAndEncode(CVoxbenchDoc& doc) {
    Prompter& prompter = doc.GetPrompter();
    const std::optional<std::string> path = prompter.AskFile(WaveOpenRequest());
    if (!path) return std::nullopt;
    CodedWave wave;
    {
        std::vector<uint8_t> pcm;
        if (!ReadWave(*path, pcm)) {
            prompter.ShowMessage("Bad wave file");
            return std::nullopt;
        }
        wave.decodedLen = static_cast<uint32_t>(pcm.size());
        // The codec library does not fail on any input; the fault point lets tests reach the
        // message all the same.
        if (faults::ShouldFail("import.encode") ||
            !doc.EncodeSound(pcm.data(), wave.decodedLen, wave.coded, wave.codedLen)) {
            prompter.ShowMessage("Compression stage failed");
            return std::nullopt;
        }
    }
    return wave;
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
    const std::optional<CodedWave> wave = AskAndEncode(doc);
    if (!wave) return false;
    std::string why;
    if (doc.ReplaceFragment(fragment, voice, wave->coded.get(), wave->codedLen, wave->decodedLen,
                            &why)) {
        return true;
    }
    // A write that failed is said, with the file and the reason.
    if (!why.empty()) doc.GetPrompter().ShowMessage(why);
    return false;
}

void ImportWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice, const ProgressFn& progress) {
    AddFromWave(doc, fragment, fragmentVoice, progress);
}

bool AddFromWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice,
                 const ProgressFn& progress) {
    std::optional<CodedWave> wave = AskAndEncode(doc);
    if (!wave) return false;
    const std::optional<int> voice = AskVoice(doc.GetPrompter(), fragmentVoice);
    if (!voice) return false;
    const bool added = doc.AddFragment(fragment, *voice, std::move(wave->coded), wave->codedLen,
                                       wave->decodedLen, progress);
    if (!added) doc.GetPrompter().ShowMessage("Failed to add fragment");
    fragmentVoice = *voice;
    return added;
}

}  // namespace vox

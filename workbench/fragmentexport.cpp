#include "workbench/fragmentexport.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/wavefile.h"
#include "talkdata/safefile.h"

namespace vox {
namespace {

// The list file is exchanged with other systems, which expect CR LF.
constexpr const char* kLineEnd = "\r\n";

// The talk entry behind a fragment's voice; false when the fragment, voice or entry is missing.
bool FindEntry(CVoxbenchDoc& doc, int fragment, int voice, VoxEntry& entry) {
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return false;
    const int voxIndex = doc.FindVoxIndex(record, voice);
    return voxIndex >= 0 && doc.GetVoxEntry(voxIndex, entry);
}

std::string PairName(int fragment, int voice) {
    return std::to_string(fragment) + "-" + std::to_string(voice);
}

bool WriteText(ByteSink& file, const std::string& line) {
    const std::string text = line + kLineEnd;
    return file.Write(text.data(), text.size());
}

// Wave files of an export on their way to disk. Each goes to a temporary file and is renamed
// into place whole, so no reader ever sees half a wave; none is flushed on its own. The
// export's files are derived data: one wait for the disk after the last (Finish) makes them all
// durable before the list names them as saved, where a flush per file cost three times the work.
// A file gets its list line once it is in place, so the list never names a file that is not
// there.
class ExportWriter {
  public:
    ExportWriter(ByteSink& list, ExportResult& result) : list_(list), result_(result) {}

    // False when the list file could not take a line.
    bool Add(const std::string& folder, const std::string& name, const uint8_t* pcm,
             uint32_t pcmLen) {
        const std::string path = folder + name + ".wav";
        const std::vector<uint8_t> bytes = MakeWaveBytes(pcm, pcmLen);
        if (bytes.empty()) {
            Unwritten(path, "no sound to write, or too much for a wave file");
            return true;
        }
        SafeFile file;
        if (!file.Begin(path) || !file.Write(bytes.data(), bytes.size()) ||
            !file.CommitUnflushed()) {
            Unwritten(path, file.GetError());
            return true;
        }
        if (!WriteText(list_, name + ";.lh")) return false;
        ++result_.saved;
        return true;
    }

    // Every file written so far onto the disk; false, with the error set, when the disk failed.
    bool Finish(const std::string& folder) {
        std::string why;
        if (SyncFileSystemOf(folder + ".", &why)) return true;
        result_.error = folder + ": " + why;
        return false;
    }

  private:
    void Unwritten(const std::string& path, const std::string& why) {
        ++result_.unwritten;
        if (result_.error.empty()) result_.error = path + ": " + why;
    }

    ByteSink& list_;
    ExportResult& result_;
};

// Exports every voice of one fragment; false when the list file could not take a line.
bool ExportFragment(CVoxbenchDoc& doc, int fragment, const std::string& folder,
                    ExportWriter& writer, ExportResult& result) {
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return true;
    for (int voice = 0; voice < FragTable::kVoiceCount; ++voice) {
        VoxEntry entry;
        const int voxIndex = doc.FindVoxIndex(record, voice);
        if (voxIndex < 0) continue;  // the fragment has no such voice
        if (!doc.GetVoxEntry(voxIndex, entry)) {
            result.unreadablePairs.push_back({fragment, voice});
            continue;
        }
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        if (!doc.DecodeEntry(entry, pcm, pcmLen)) {
            ++result.undecodable;
            result.undecodablePairs.push_back({fragment, voice});
            continue;
        }
        if (!writer.Add(folder, PairName(fragment, voice), pcm.get(), pcmLen)) return false;
    }
    return true;
}

}  // namespace

bool PlayFragment(CVoxbenchDoc& doc, int fragment, int voice) {
    VoxEntry entry;
    if (!FindEntry(doc, fragment, voice, entry)) return false;
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    // A recording that does not decode is not played: the buffer would hold no sound.
    if (!doc.DecodeEntry(entry, pcm, pcmLen)) return false;
    return doc.PlaySound(std::move(pcm), pcmLen);
}

int PlayFragmentSequence(CVoxbenchDoc& doc, const std::vector<int>& fragments, int voice) {
    int queued = 0;
    for (int fragment : fragments) {
        if (!PlayFragment(doc, fragment, voice)) break;
        ++queued;
    }
    return queued;
}

bool HasRecording(CVoxbenchDoc& doc, int fragment, int voice) {
    VoxEntry entry;
    return FindEntry(doc, fragment, voice, entry);
}

std::string MissingRecordingReason(CVoxbenchDoc& doc, int fragment, int voice) {
    const std::string name = "Fragment " + std::to_string(fragment);
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return name + " does not exist";
    const int voxIndex = doc.FindVoxIndex(record, voice);
    if (voxIndex < 0) return name + " has no voice " + std::to_string(voice);
    VoxEntry entry;
    if (!doc.GetVoxEntry(voxIndex, entry)) {
        return name + " voice " + std::to_string(voice) + ": talk entry " +
               std::to_string(voxIndex) + " lies outside the talk file";
    }
    return std::string();
}

Status MakeFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, std::vector<uint8_t>& bytes) {
    VoxEntry entry;
    if (!FindEntry(doc, fragment, voice, entry)) {
        return Status::Failure("fragment " + std::to_string(fragment) +
                               " has no recording in voice " + std::to_string(voice));
    }
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    if (!doc.DecodeEntry(entry, pcm, pcmLen)) {
        return Status::Failure("the recording of fragment " + std::to_string(fragment) +
                               " in voice " + std::to_string(voice) + " does not decode");
    }
    bytes = MakeWaveBytes(pcm.get(), pcmLen);
    return {};
}

Status WriteFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, const std::string& path) {
    std::vector<uint8_t> bytes;
    const Status made = MakeFragmentWave(doc, fragment, voice, bytes);
    if (!made) return made;
    std::string writeError;
    if (WriteFileSafely(path, bytes, &writeError)) return {};
    return Status::Failure(path + ": " + writeError);
}

namespace {

enum class ExportEnd { kDone, kListFailed, kDiskFailed };

// The list's header, then every wave file of the range into folder, each listed once on disk.
ExportEnd ExportInto(CVoxbenchDoc& doc, int first, int last, const std::string& folder,
                     ByteSink& list, ExportResult& result, const ProgressFn& progress) {
    bool listOk = WriteText(list, "; Filenames of saved voxfile wav files with .lh extension") &&
                  WriteText(list, "; for later reinstallation into a voxfile");
    // Numbers below 0 and above the last fragment have no fragment; the loop skips them
    // without walking through them one by one.
    const int start = std::max(first, 0);
    const int end = std::min({last, doc.GetFragCount(), INT_MAX - 1});
    ExportWriter writer(list, result);
    for (int fragment = start; listOk && fragment <= end; ++fragment) {
        listOk = ExportFragment(doc, fragment, folder, writer, result);
        const uint64_t done = static_cast<uint64_t>(fragment - start) + 1;
        if (!ReportProgress(progress, done, static_cast<uint64_t>(end - start) + 1)) {
            result.cancelled = true;
            break;
        }
    }
    if (!listOk) return ExportEnd::kListFailed;
    return writer.Finish(folder) ? ExportEnd::kDone : ExportEnd::kDiskFailed;
}

}  // namespace

ExportResult ExportFragmentRange(CVoxbenchDoc& doc, int first, int last,
                                 const std::string& listPath, const ProgressFn& progress) {
    ExportResult result;
    SafeFile list;
    if (!list.Begin(listPath)) {
        result.error = listPath + ": " + list.GetError();
        return result;
    }
    // A cancelled export keeps what it has written so far, as it would have file by file.
    const ExportEnd end = ExportInto(doc, first, last, FolderOf(listPath), list, result, progress);
    if (end != ExportEnd::kDone) {
        list.Abort();
        if (end == ExportEnd::kListFailed || result.error.empty())
            result.error = listPath + ": " + list.GetError();
        return result;
    }
    if (list.Commit()) {
        result.listWritten = true;
    } else {
        list.Abort();
        result.error = listPath + ": " + list.GetError();
    }
    return result;
}

ExportResult ExportFragmentRangeTo(CVoxbenchDoc& doc, int first, int last,
                                   const std::string& folder, ByteSink& list,
                                   const ProgressFn& progress) {
    ExportResult result;
    const ExportEnd end = ExportInto(doc, first, last, folder, list, result, progress);
    if (end == ExportEnd::kListFailed) result.error = "the list could not take a line";
    result.listWritten = end == ExportEnd::kDone;
    return result;
}

}  // namespace vox

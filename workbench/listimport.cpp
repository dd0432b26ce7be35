#include "workbench/listimport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>

#include "audio/soundfilereader.h"
#include "audio/speechcodec.h"
#include "lookup/textfile.h"
#include "talkdata/entrybatch.h"
#include "talkdata/safefile.h"
#include "talkdata/talkhistory.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

// A line of the list file that names a wave file.
struct ListLine {
    int number = 0;
    std::string text;
    int fragment = 0;
    int voice = 0;
};

// One talk entry that gets a new recording, with every line that gives it that recording.
struct PendingEntry {
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> coded;
    std::vector<const ListLine*> lines;
    TakeSource source;
};

// A whole decimal number without sign, as the export writes it.
bool TakeNumber(std::string_view& text, int& value) {
    const char* end = text.data() + text.size();
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc()) return false;
    text.remove_prefix(static_cast<size_t>(stop - text.data()));
    return true;
}

// "F-V;.lh", as the export writes it; surrounding blanks are tolerated.
bool ParseListLine(std::string_view text, int& fragment, int& voice) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!TakeNumber(text, fragment) || text.empty() || text[0] != '-') return false;
    text.remove_prefix(1);
    return TakeNumber(text, voice) && text == ";.lh";
}

bool IsRegularFile(const std::string& path, std::string& why) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        why = errno == ENOENT ? "missing file" : std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) why = "not a regular file";
    return S_ISREG(info.st_mode);
}

std::string PairName(int fragment, int voice) {
    return std::to_string(fragment) + "-" + std::to_string(voice);
}

class ListImporter {
  public:
    ListImporter(CVoxbenchDoc& doc, std::string folder, const ProgressFn& progress)
        : doc_(doc), folder_(std::move(folder)), progress_(progress) {}

    ImportResult Run(const std::vector<ListLine>& lines, size_t total) {
        for (size_t i = 0; i < lines.size(); ++i) {
            Prepare(lines[i]);
            if (!ReportProgress(progress_, i + 1, total + 1)) {
                result_.cancelled = true;
                result_.error = "interrupted; nothing was written";
                return Finish();
            }
        }
        WriteBatch();
        ReportProgress(progress_, total + 1, total + 1);
        return Finish();
    }

    void Refuse(const ListLine& line, const std::string& why) {
        result_.refused.push_back({line.number, line.text, why});
    }

  private:
    ImportResult Finish() {
        const auto byLine = [](const ImportRefusal& a, const ImportRefusal& b) {
            return a.line < b.line;
        };
        std::stable_sort(result_.refused.begin(), result_.refused.end(), byLine);
        std::stable_sort(result_.notes.begin(), result_.notes.end(), byLine);
        result_.listRead = true;
        return std::move(result_);
    }

    // The talk entry that the line's fragment and voice use, or -1 after a refusal.
    int FindVoxIndex(const ListLine& line, VoxEntry& entry) {
        ListRecord record;
        if (!doc_.GetFragRecord(line.fragment, record)) {
            Refuse(line, "there is no fragment " + std::to_string(line.fragment));
            return -1;
        }
        const int voxIndex = doc_.FindVoxIndex(record, line.voice);
        if (voxIndex < 0) {
            Refuse(line, "fragment " + std::to_string(line.fragment) + " has no voice " +
                             std::to_string(line.voice));
            return -1;
        }
        if (!doc_.GetVoxEntry(voxIndex, entry)) {
            Refuse(line, "talk entry " + std::to_string(voxIndex) + " is missing or damaged");
            return -1;
        }
        return voxIndex;
    }

    // A wave file as the export wrote it is taken as it stands; an edited one may come back in
    // any format the sound file reader converts. One longer than an entry holds is refused,
    // never cut: nobody is asked here.
    bool ReadLineWave(const ListLine& line, std::vector<uint8_t>& pcm) {
        const std::string name = PairName(line.fragment, line.voice) + ".wav";
        std::string why;
        if (!IsRegularFile(folder_ + name, why)) {
            Refuse(line, name + ": " + why);
            return false;
        }
        SpeechPcm take = ReadSpeechPcmFile(folder_ + name);
        if (!take.ok) {
            Refuse(line, name + ": " + take.why);
            return false;
        }
        if (take.converted)
            result_.notes.push_back(
                {line.number, line.text, name + ": " + ConversionMessage(take)});
        pcm = std::move(take.pcm);
        return true;
    }

    // The wave file's name and the hash of its bytes, for the history line; the hash stays
    // empty when the file cannot be read again.
    TakeSource SourceOf(const ListLine& line) const {
        TakeSource source;
        source.name = PairName(line.fragment, line.voice) + ".wav";
        std::vector<uint8_t> bytes;
        std::string why;
        if (ReadWholeFile(folder_ + source.name, bytes, why)) {
            source.hash = ContentHash(ByteSpan(bytes.data(), bytes.size()));
        }
        return source;
    }

    bool DecodesTo(const VoxEntry& entry, const std::vector<uint8_t>& pcm) {
        std::unique_ptr<uint8_t[]> decoded;
        uint32_t decodedLen = 0;
        if (!doc_.DecodeEntry(entry, decoded, decodedLen)) return false;
        return decodedLen == pcm.size() && std::equal(pcm.begin(), pcm.end(), decoded.get());
    }

    // The coded recording, or nothing after refusing the line.
    std::optional<std::vector<uint8_t>> Encode(const ListLine& line,
                                               const std::vector<uint8_t>& pcm) {
        std::unique_ptr<uint8_t[]> coded;
        uint32_t codedLen = 0;
        if (!doc_.EncodeSound(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen)) {
            Refuse(line, "compression stage failed");
            return std::nullopt;
        }
        return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
    }

    // An entry replaced by an earlier import decodes to the coded version of its wave file,
    // not to the wave file itself; it is unchanged when coding the wave again gives its bytes.
    static bool Holds(const VoxEntry& entry, const std::vector<uint8_t>& pcm,
                      const std::vector<uint8_t>& coded) {
        return entry.decodedSize == pcm.size() && entry.codedSize == coded.size() &&
               std::equal(coded.begin(), coded.end(), entry.data);
    }

    void Prepare(const ListLine& line) {
        VoxEntry entry;
        const int voxIndex = FindVoxIndex(line, entry);
        std::vector<uint8_t> pcm;
        if (voxIndex < 0 || !ReadLineWave(line, pcm)) return;
        if (DecodesTo(entry, pcm)) {
            ++result_.unchanged;
            return;
        }
        if (voxIndex != 0 && !EntryBatch::CanReplaceInPlace(doc_.GetVoxFile().Bytes(), voxIndex)) {
            Refuse(line, "talk entry " + std::to_string(voxIndex) +
                             " lies beyond the talk file's directory and cannot be replaced");
            return;
        }
        auto found = pending_.find(voxIndex);
        if (found != pending_.end()) {
            // Fragments that share a talk entry: one recording serves them all, two cannot.
            if (found->second.pcm != pcm) {
                Refuse(line, "talk entry " + std::to_string(voxIndex) + " is shared with line " +
                                 std::to_string(found->second.lines.front()->number) +
                                 ", whose wave file holds other samples");
                return;
            }
            found->second.lines.push_back(&line);
            return;
        }
        std::optional<std::vector<uint8_t>> coded = Encode(line, pcm);
        if (!coded) return;
        if (Holds(entry, pcm, *coded)) {
            ++result_.unchanged;
            return;
        }
        pending_[voxIndex] =
            PendingEntry{std::move(pcm), std::move(*coded), {&line}, SourceOf(line)};
    }

    // Every pending entry in one batch, slot 0 among them: whole or not at all.
    void WriteBatch() {
        EntryBatch batch;
        std::vector<const PendingEntry*> inBatch;
        for (const auto& [voxIndex, pending] : pending_) {
            const ListLine& first = *pending.lines.front();
            batch.Add(voxIndex, static_cast<uint32_t>(pending.pcm.size()), pending.coded,
                      first.fragment, first.voice, pending.source);
            inBatch.push_back(&pending);
        }
        if (batch.IsEmpty()) return;
        size_t written = 0;
        const Status status = doc_.ReplaceEntries(batch, written);
        for (size_t i = 0; i < inBatch.size(); ++i) {
            for (const ListLine* line : inBatch[i]->lines) {
                if (i < written)
                    ++result_.replaced;
                else
                    Refuse(*line, "the talk file could not be written: " + status.error);
            }
        }
        if (!status && result_.error.empty()) result_.error = status.error;
    }

    CVoxbenchDoc& doc_;
    std::string folder_;
    const ProgressFn& progress_;
    std::map<int, PendingEntry> pending_;  // by voxIndex
    ImportResult result_;
};

}  // namespace

ImportResult ImportExportList(CVoxbenchDoc& doc, const std::string& listPath,
                              const ProgressFn& progress) {
    ImportResult result;
    std::string text;
    std::string why;
    if (!IsRegularFile(listPath, why) || !ReadTextFile(listPath, text)) {
        result.error = listPath + ": " + (why.empty() ? "cannot be read" : why);
        return result;
    }
    std::vector<ListLine> lines;
    std::vector<ListLine> malformed;
    std::string_view rest = text;
    std::string_view line;
    for (int number = 1; NextTextLine(rest, line); ++number) {
        const bool comment = line.find_first_not_of(" \t") == std::string_view::npos ||
                             line[line.find_first_not_of(" \t")] == ';';
        if (comment) continue;
        ListLine entry{number, std::string(line), 0, 0};
        if (ParseListLine(line, entry.fragment, entry.voice))
            lines.push_back(entry);
        else
            malformed.push_back(entry);
    }
    ListImporter importer(doc, FolderOf(listPath), progress);
    for (const ListLine& bad : malformed) {
        importer.Refuse(bad, "not a line of an export list (\"F-V;.lh\")");
    }
    return importer.Run(lines, lines.size());
}

}  // namespace vox

#include "pack/packer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "audio/wavefile.h"
#include "pack/descriptioncheck.h"
#include "pack/descriptionreader.h"
#include "pack/samplehash.h"
#include "pack/tablebytes.h"
#include "pack/waveconversion.h"
#include "talkdata/tablenames.h"
#include "talkdata/wholefile.h"

namespace vox::pack {
namespace {

// Reads a file of the unpacked folder. A symbolic link inside it may lead to another name in
// the folder, but never out of it: pack would copy whatever the link names into the database.
bool ReadInside(const std::string& folder, const std::string& name, std::vector<uint8_t>& out,
                std::string& why) {
    const std::string path = folder + "/" + name;
    char* realFolder = realpath(folder.c_str(), nullptr);
    char* realFile = realpath(path.c_str(), nullptr);
    std::string base = realFolder != nullptr ? realFolder : "";
    const std::string file = realFile != nullptr ? realFile : "";
    free(realFolder);
    free(realFile);
    if (!base.empty() && base.back() != '/') base += '/';
    if (!file.empty() && !base.empty() && file.compare(0, base.size(), base) != 0) {
        why = "a link that leads outside the folder";
        return false;
    }
    return ReadWholeFile(path, out, why);
}

std::string Seconds(size_t pcmBytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(pcmBytes) / 16000.0);
    return text;
}

}  // namespace

Packer::Packer(NoteFn note) : note_(std::move(note)) { codecReady_ = codec_.Init(); }

bool Packer::Refuse(int line, const std::string& why) {
    error_ =
        descriptionPath_ + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + why;
    return false;
}

bool Packer::Stop() {
    stopped_ = true;
    error_ = "pack stopped before the end; nothing was written";
    return false;
}

bool Packer::ReadInputs(const std::string& folder, PackDescription& d) {
    std::vector<uint8_t> text;
    std::string why;
    if (!ReadInside(folder, kDescriptionFileName, text, why)) return Refuse(0, why);
    DescriptionError error;
    if (!ReadDescription(text, d, error) || !CheckDescription(d, error))
        return Refuse(error.line, error.message);
    return ReadSideFiles(folder, d) && ReadCodedFile(folder, d) && ReadHistoryFolder(folder, d);
}

bool Packer::ReadSideFiles(const std::string& folder, const PackDescription& d) {
    const struct {
        const std::string& name;
        int line;
    } sides[] = {{d.phrasesFile, d.phrasesLine}, {d.commNamesFile, d.commNamesLine}};
    for (const auto& side : sides) {
        if (side.line == 0) continue;
        SideFile file{side.name, {}};
        std::string why;
        if (!ReadInside(folder, side.name, file.bytes, why))
            return Refuse(side.line, side.name + ": " + why);
        sideFiles_.push_back(std::move(file));
    }
    return true;
}

bool Packer::ReadCodedFile(const std::string& folder, const PackDescription& d) {
    for (const EntryDescription& entry : d.entries) {
        if (!entry.hasCoded || !entry.codedFile.empty()) continue;
        std::string why;
        if (!ReadInside(folder, kCodedFileName, codedFile_, why))
            return Refuse(entry.line, std::string(kCodedFileName) + ": " + why);
        return true;
    }
    return true;
}

bool Packer::ReadHistoryFolder(const std::string& folder, const PackDescription& d) {
    struct stat st {};
    const std::string path = folder + "/" + kHistoryFileName;
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    std::vector<uint8_t> text;
    std::string why;
    if (!ReadInside(folder, kHistoryFileName, text, why)) {
        error_ = path + ": " + why;
        return false;
    }
    std::map<std::string, size_t> entryOfWave;
    for (size_t i = 0; i < d.entries.size(); ++i) entryOfWave.emplace(d.entries[i].wave, i);
    int line = 0;
    if (!ReadFolderHistory(text, entryOfWave, history_, line, why)) {
        error_ = path + ":" + std::to_string(line) + ": " + why;
        return false;
    }
    hasHistory_ = true;
    for (const std::string& name : history_.takeFiles)
        if (!ReadEarlierTake(folder, name)) return false;
    return true;
}

bool Packer::ReadEarlierTake(const std::string& folder, const std::string& name) {
    std::vector<uint8_t> bytes;
    std::string why;
    const std::string where = folder + "/" + std::string(kHistoryFileName) + ": " + name + ": ";
    if (!ReadInside(folder, name, bytes, why)) {
        error_ = where + why;
        return false;
    }
    if (bytes.size() < sizeof(uint32_t)) {
        error_ = where + "shorter than the 4 bytes of its decoded size";
        return false;
    }
    codedBuffers_.push_back(std::move(bytes));
    const std::vector<uint8_t>& take = codedBuffers_.back();
    earlier_.push_back({ReadU32(take.data()), ByteSpan(take).subspan(sizeof(uint32_t))});
    return true;
}

bool Packer::LoadWavePcm(const std::string& folder, const EntryDescription& entry,
                         std::vector<uint8_t>& pcm, bool& converted) {
    std::vector<uint8_t> file;
    std::string why;
    if (!ReadInside(folder, entry.wave, file, why))
        return Refuse(entry.line, entry.wave + ": " + why);
    converted = false;
    if (ReadWaveBytes(file, pcm)) return true;
    // Why the speech wave reader passed the file on is no news: a FLAC file is "not a RIFF
    // WAVE file". What it was converted from is.
    std::string note;
    if (!ConvertToSpeechPcm(file, SpeechCodec::kMaxPcmBytes, pcm, note, why))
        return Refuse(entry.line, entry.wave + ": " + why);
    converted = true;
    note_(entry.wave + ": " + note);
    return true;
}

bool Packer::KeepCodedFile(const std::string& folder, const EntryDescription& entry) {
    std::vector<uint8_t> coded;
    std::string why;
    if (!ReadInside(folder, entry.codedFile, coded, why))
        return Refuse(entry.line, entry.codedFile + ": " + why);
    codedBuffers_.push_back(std::move(coded));
    entries_.push_back({entry.decodedSize, codedBuffers_.back()});
    return true;
}

bool Packer::PrepareEntry(const std::string& folder, const EntryDescription& entry) {
    std::vector<uint8_t> pcm;
    bool converted = false;
    if (!LoadWavePcm(folder, entry, pcm, converted)) return false;
    // The codec codes at most kMaxPcmBytes of one entry; a longer wave would be cut without a
    // word, so it is refused instead.
    if (pcm.size() > SpeechCodec::kMaxPcmBytes) {
        return Refuse(entry.line, entry.wave + ": " + Seconds(pcm.size()) + " (" +
                                      std::to_string(pcm.size()) +
                                      " bytes) long; a talk entry holds at most " +
                                      std::to_string(SpeechCodec::kMaxPcmBytes) + " bytes (" +
                                      Seconds(SpeechCodec::kMaxPcmBytes) + ")");
    }
    if (entry.hasCoded && !converted && SampleHash(pcm) == entry.pcmHash) {
        if (!entry.codedFile.empty()) return KeepCodedFile(folder, entry);
        if (entry.codedOffset + entry.codedSize > codedFile_.size())
            return Refuse(entry.line,
                          "coded bytes lie beyond the end of " + std::string(kCodedFileName));
        entries_.push_back(
            {entry.decodedSize, ByteSpan(codedFile_).subspan(entry.codedOffset, entry.codedSize)});
        return true;
    }
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    const auto pcmLen = static_cast<uint32_t>(pcm.size());
    if (!codec_.Encode(pcm.data(), pcmLen, coded, codedLen))
        return Refuse(entry.line, entry.wave + ": the speech codec cannot code it");
    if (entry.hasCoded) note_(entry.wave + ": changed since it was unpacked; coded again");
    codedBuffers_.emplace_back(coded.get(), coded.get() + codedLen);
    entries_.push_back({pcmLen, codedBuffers_.back()});
    return true;
}

// Called after the talk file is written, so every offset is known to fit in 32 bits.
bool Packer::WriteHistoryFile(const PackDescription& d, OutputFolder& out, std::string& why) const {
    if (!hasHistory_) return true;
    const std::vector<uint64_t> offsets = TalkEntryOffsets(d, entries_, earlier_);
    std::vector<uint32_t> currentAt(offsets.begin(), offsets.begin() + entries_.size());
    std::vector<uint32_t> earlierAt(offsets.begin() + entries_.size(), offsets.end() - 1);
    const std::string text = PackedHistoryText(history_, currentAt, earlierAt);
    return out.WriteFile(HistoryPath(d.talkName),
                         ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()), why);
}

bool Packer::WriteOutput(const PackDescription& d, const std::string& outFolder,
                         const ProgressFn& progress) {
    OutputFolder out;
    std::string why;
    if (!out.Check(outFolder, why) || !out.Create(why)) {
        error_ = why;
        return false;
    }
    const auto writeTalk = [&](ByteSink& sink) {
        return WriteTalk(d, entries_, earlier_, sink, why);
    };
    const bool ok = out.WriteStreamed(d.talkName, writeTalk, why) &&
                    WriteHistoryFile(d, out, why) &&
                    out.WriteFile(kFragFileName, FragTableBytes(d), why) &&
                    out.WriteFile(kEvalFileName, EvalTableBytes(d), why) &&
                    out.WriteFile(kCommFileName, CommTableBytes(d), why);
    for (size_t i = 0; ok && i < sideFiles_.size(); ++i) {
        if (!out.WriteFile(sideFiles_[i].name, sideFiles_[i].bytes, why)) {
            error_ = why;
            return false;
        }
    }
    if (!ok) {
        error_ = why;
        return false;
    }
    // The last chance to stop: after the rename the database stands complete.
    const uint64_t total = entries_.size();
    if (!ReportProgress(progress, total, total)) return Stop();
    if (!out.Commit(why)) {
        error_ = why;
        return false;
    }
    return true;
}

bool Packer::Pack(const std::string& folder, const std::string& outFolder,
                  const ProgressFn& progress) {
    error_.clear();
    stopped_ = false;
    codedFile_.clear();
    codedBuffers_.clear();
    entries_.clear();
    sideFiles_.clear();
    hasHistory_ = false;
    history_ = {};
    earlier_.clear();
    descriptionPath_ = folder + "/" + kDescriptionFileName;
    if (!codecReady_) return Refuse(0, "the speech codec cannot start");
    PackDescription d;
    if (!ReadInputs(folder, d)) return false;
    // Checked before the waves are read and coded, so a doomed pack fails at once.
    OutputFolder probe;
    std::string why;
    if (!probe.Check(outFolder, why)) {
        error_ = why;
        return false;
    }
    const uint64_t total = d.entries.size();
    for (uint64_t i = 0; i < total; ++i) {
        if (!ReportProgress(progress, i, total)) return Stop();
        if (!PrepareEntry(folder, d.entries[i])) return false;
    }
    return WriteOutput(d, outFolder, progress);
}

}  // namespace vox::pack

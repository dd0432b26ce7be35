#include "pack/unpacker.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "audio/wavefile.h"
#include "pack/descriptioncheck.h"
#include "pack/descriptionreader.h"
#include "pack/descriptionwriter.h"
#include "pack/folderhistory.h"
#include "pack/outputfolder.h"
#include "pack/packlimits.h"
#include "pack/samplehash.h"
#include "pack/tablebytes.h"
#include "talkdata/commtable.h"
#include "talkdata/tablenames.h"
#include "talkdata/voxfile.h"
#include "talkdata/wholefile.h"

namespace vox::pack {
namespace {

ByteSpan AsBytes(const std::string& text) {
    return ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string Padded(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

// The description cannot hold a double quote or a line end inside a word.
std::string DescribableName(std::string name) {
    for (char& c : name)
        if (c == '"' || c == '\n' || c == '\r') c = '_';
    return IsPlainFileName(name) ? name : "speech.vox";
}

template <typename Fill>
void DescribeLists(const ListTable& table, Fill fill) {
    for (int r = 0; r < table.GetCount(); ++r) {
        ListRecord record;
        table.GetRecord(r, record);
        std::vector<uint32_t> words;
        // The workbench reads a list up to its count or the end of the array, whichever is first.
        for (int position = 0; position < record.count; ++position) {
            const int64_t index = table.ElementIndex(record, position);
            if (index < 0) break;
            words.push_back(table.GetElementWord(static_cast<int>(index)));
        }
        fill(r, record.number, words);
    }
}

int Low(uint32_t word) { return static_cast<int16_t>(word & 0xFFFF); }
int High(uint32_t word) { return static_cast<int16_t>(word >> 16); }

}  // namespace

Unpacker::Unpacker(NoteFn note) : note_(std::move(note)) { codecReady_ = codec_.Init(); }

bool Unpacker::Fail(const std::string& why) {
    error_ = why;
    return false;
}

bool Unpacker::Stop() {
    stopped_ = true;
    error_ = updating_ ? "unpack stopped before the end; every file is whole, and the "
                         "description is the earlier one"
                       : "unpack stopped before the end; nothing was written";
    return false;
}

bool Unpacker::CollectRecordings(ByteSpan talk, std::vector<Recording>& recordings) {
    const uint32_t slotCount = VoxFile::SlotCount(talk);
    VoxEntry first;
    if (slotCount == 0 || !VoxFile::GetVoxEntry(talk, 0, first))
        return Fail("the talk file's slot 0 holds no readable entry, so its directory has no end");
    if (slotCount > kMaxSlots)
        return Fail("the talk file claims " + std::to_string(slotCount) + " slots; at most " +
                    std::to_string(kMaxSlots) + " can be named by a fragment");
    std::map<uint32_t, std::vector<int>> slotsAt;  // ordered by offset: the file's own order
    for (uint32_t slot = 0; slot < slotCount; ++slot) {
        const uint64_t at = TalkSlotOffset(slot);
        const uint32_t offset = at + kTalkSlotSize <= talk.size() ? ReadU32(talk.data() + at) : 0;
        if (offset == 0) continue;
        VoxEntry entry;
        if (!VoxFile::GetVoxEntry(talk, static_cast<int>(slot), entry)) {
            note_("talk file: slot " + std::to_string(slot) + " points at offset " +
                  std::to_string(offset) + ", where no whole entry lies; described as empty");
            continue;
        }
        slotsAt[offset].push_back(static_cast<int>(slot));
    }
    for (auto& [offset, slots] : slotsAt) recordings.push_back({offset, std::move(slots)});
    return true;
}

void Unpacker::DescribeTables(const UnpackSource& source, PackDescription& d) const {
    DescribeLists(*source.frags, [&d](int r, uint16_t number, const std::vector<uint32_t>& words) {
        FragDescription frag{r, number, {}, 0};
        for (uint32_t word : words) frag.voices.push_back({Low(word), High(word)});
        d.frags.push_back(std::move(frag));
    });
    DescribeLists(*source.evals, [&d](int r, uint16_t number, const std::vector<uint32_t>& words) {
        EvalDescription eval{r, number, {}, 0};
        for (uint32_t word : words) eval.alternatives.push_back({Low(word), High(word)});
        d.evals.push_back(std::move(eval));
    });
    const int count = CommTable::CountFrom(source.comm);
    CommRecord record;
    // Records lie back to back from the start: the first that cannot be read ends them.
    for (int c = 0; c < count && CommTable::RecordAt(source.comm, count, c, record); ++c) {
        CommDescription comm{c,
                             record.reserved,
                             record.warp,
                             record.priority,
                             record.position,
                             record.bullseye,
                             record.evals,
                             {},
                             0};
        for (int position = 0; position < record.elements; ++position)
            comm.entries.push_back(CommTable::EntryAt(source.comm, record, position));
        d.comms.push_back(std::move(comm));
    }
}

// A wave is named after the first fragment and voice that speak it, so a person finds
// "f0012-v03.wav" for fragment 12 in voice 3; a recording no fragment uses is named after its
// first slot.
void Unpacker::NameWaves(const std::vector<Recording>& recordings, PackDescription& d) const {
    std::map<int, size_t> recordingOfSlot;
    for (size_t i = 0; i < recordings.size(); ++i)
        for (int slot : recordings[i].slots) recordingOfSlot[slot] = i;
    std::vector<std::string> names(recordings.size());
    std::set<std::string> taken;
    for (const FragDescription& frag : d.frags) {
        for (const FragVoiceDescription& v : frag.voices) {
            const auto found = recordingOfSlot.find(v.voxIndex);
            if (found == recordingOfSlot.end() || !names[found->second].empty()) continue;
            const std::string name = "f" + Padded(frag.frag, 4) + "-v" + Padded(v.voice, 2);
            if (taken.insert(name).second) names[found->second] = name;
        }
    }
    for (size_t i = 0; i < recordings.size(); ++i) {
        if (names[i].empty()) names[i] = "slot" + Padded(recordings[i].slots.front(), 5);
        EntryDescription entry;
        entry.slots = recordings[i].slots;
        entry.wave = std::string(kWaveFolderName) + "/" + names[i] + ".wav";
        d.entries.push_back(std::move(entry));
    }
}

bool Unpacker::WriteWaves(ByteSpan talk, const std::vector<Recording>& recordings,
                          PackDescription& d, UnpackTarget& out, const ProgressFn& progress) {
    std::vector<uint8_t> pcm(SpeechCodec::DecodeBufferSize(SpeechCodec::kMaxPcmBytes));
    for (size_t i = 0; i < recordings.size(); ++i) {
        if (!ReportProgress(progress, i, recordings.size())) return Stop();
        EntryDescription& entry = d.entries[i];
        VoxEntry vox;
        VoxFile::GetVoxEntry(talk, recordings[i].slots.front(), vox);
        uint32_t pcmLen = 0;
        if (!codec_.Decode(vox.data, vox.codedSize, pcm.data(), static_cast<uint32_t>(pcm.size()),
                           pcmLen)) {
            pcmLen = 0;
            note_(entry.wave +
                  ": the coded bytes do not decode; the wave is left empty, and pack "
                  "keeps the coded bytes for as long as it stays so");
        }
        const std::vector<uint8_t> wave = MakeWaveBytes(pcm.data(), pcmLen);
        std::string why;
        if (wave.empty()) return Fail(entry.wave + ": cannot make a wave file");
        entry.hasCoded = true;
        entry.decodedSize = vox.decodedSize;
        entry.codedFile = entry.wave.substr(0, entry.wave.size() - 4) + kCodedExtension;
        entry.codedSize = vox.codedSize;
        entry.pcmHash = SampleHash(ByteSpan(pcm.data(), pcmLen));
        // The wave first: should an update stop between the two, the earlier description's
        // sample hash no longer matches the wave, and pack codes it again rather than pair it
        // with the other take's coded bytes.
        if (!out.WriteFile(entry.wave, wave, why) ||
            !out.WriteFile(entry.codedFile, ByteSpan(vox.data, vox.codedSize), why))
            return Fail(why);
    }
    return true;
}

// Says where pack will not give back the same bytes, and whether it would refuse the
// description at all, so the user learns it now rather than at pack time.
void Unpacker::NoteIrregularities(const UnpackSource& source, const PackDescription& d) {
    std::string why;
    if (!VoxFile::HasWellFormedDirectory(source.talk, &why))
        note_("talk file: " + why + "; pack writes a regular directory of the same slot count");
    uint64_t regularSize = TalkSlotOffset(VoxFile::SlotCount(source.talk));
    for (const EntryDescription& e : d.entries)
        regularSize = TalkEntryEnd(regularSize, e.codedSize);
    regularSize += keptByHistory_;
    if (source.talk.size() > regularSize)
        note_("talk file: " + std::to_string(source.talk.size() - regularSize) +
              " bytes belong to no entry; pack leaves them out");
    const struct {
        const char* name;
        std::vector<uint8_t> original;
        std::vector<uint8_t> regular;
    } tables[] = {
        {kFragFileName, source.frags->SaveBytes(), FragTableBytes(d)},
        {kEvalFileName, source.evals->SaveBytes(), EvalTableBytes(d)},
        {kCommFileName, {source.comm.begin(), source.comm.end()}, CommTableBytes(d)},
    };
    for (const auto& table : tables) {
        if (table.original != table.regular)
            note_(std::string(table.name) +
                  ": not in the regular layout; the description keeps "
                  "what the workbench reads from it, and pack writes that regularly");
    }
    const std::string text = WriteDescription(d);
    PackDescription reread;
    DescriptionError error;
    if (!ReadDescription(AsBytes(text), reread, error) || !CheckDescription(reread, error))
        note_(std::string(kDescriptionFileName) + ":" + std::to_string(error.line) + ": " +
              error.message + " (pack refuses the description until this is put right)");
}

// Written before the description, so that an update stopped on the way leaves the earlier
// description over files that are each whole.
bool Unpacker::WriteHistory(const UnpackSource& source, const std::vector<Recording>& recordings,
                            const PackDescription& d, UnpackTarget& out) {
    if (source.history == nullptr || (source.history->lines.empty() && source.history->bad.empty()))
        return true;
    std::map<uint32_t, std::string> waveAt;
    for (size_t i = 0; i < recordings.size(); ++i) waveAt[recordings[i].offset] = d.entries[i].wave;
    const FolderHistory history = HistoryForFolder(*source.history, source.talk, waveAt);
    for (const std::string& note : history.notes) note_(note);
    if (source.history->lines.empty()) return true;
    std::string why;
    if (!history.takes.empty() && !out.MakeSubfolder(kHistoryFolderName, why)) return Fail(why);
    for (const TakeFile& take : history.takes) {
        if (!out.WriteFile(take.name, take.bytes, why)) return Fail(why);
        keptByHistory_ += kTalkEntryHeaderSize + take.bytes.size() - sizeof(uint32_t);
    }
    if (!out.WriteFile(kHistoryFileName, AsBytes(history.text), why)) return Fail(why);
    return true;
}

bool Unpacker::CopySideFile(const std::string& from, const char* name, UnpackTarget& out) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWholeFile(from, bytes, why)) return Fail(from + ": " + why);
    if (!out.WriteFile(name, bytes, why)) return Fail(why);
    return true;
}

bool Unpacker::Begin(const UnpackSource& source) {
    error_.clear();
    stopped_ = false;
    updateCounts_ = {};
    keptByHistory_ = 0;
    if (source.frags == nullptr || source.evals == nullptr) return Fail("no tables given");
    if (!codecReady_) return Fail("the speech codec cannot start");
    return true;
}

bool Unpacker::Describe(const UnpackSource& source, std::vector<Recording>& recordings,
                        PackDescription& d) {
    if (!CollectRecordings(source.talk, recordings)) return false;
    d.talkName = DescribableName(source.talkName);
    std::copy_n(source.talk.begin(), d.header.size(), d.header.begin());
    d.slotCount = static_cast<int>(VoxFile::SlotCount(source.talk));
    if (!source.phrasesPath.empty()) d.phrasesFile = kPhrasesName;
    if (!source.commNamesPath.empty()) d.commNamesFile = kCommNamesName;
    DescribeTables(source, d);
    NameWaves(recordings, d);
    return true;
}

bool Unpacker::WriteAll(const UnpackSource& source, const std::vector<Recording>& recordings,
                        PackDescription& d, UnpackTarget& out, const ProgressFn& progress) {
    std::string why;
    if (!out.MakeSubfolder(kWaveFolderName, why)) return Fail(why);
    if (!WriteWaves(source.talk, recordings, d, out, progress)) return false;
    if (!source.phrasesPath.empty() && !CopySideFile(source.phrasesPath, kPhrasesName, out))
        return false;
    if (!source.commNamesPath.empty() && !CopySideFile(source.commNamesPath, kCommNamesName, out))
        return false;
    if (!WriteHistory(source, recordings, d, out)) return false;
    NoteIrregularities(source, d);
    if (!out.WriteFile(kDescriptionFileName, AsBytes(WriteDescription(d)), why)) return Fail(why);
    // The last chance to stop: after this the folder stands complete.
    if (!ReportProgress(progress, recordings.size(), recordings.size())) return Stop();
    if (!out.Commit(why)) return Fail(why);
    return true;
}

bool Unpacker::Unpack(const UnpackSource& source, const std::string& folder,
                      const ProgressFn& progress) {
    updating_ = false;
    if (!Begin(source)) return false;
    OutputFolder out;
    std::string why;
    if (!out.Check(folder, why)) return Fail(why);
    std::vector<Recording> recordings;
    PackDescription d;
    if (!Describe(source, recordings, d)) return false;
    if (!out.Create(why)) return Fail(why);
    return WriteAll(source, recordings, d, out, progress);
}

bool Unpacker::Update(const UnpackSource& source, const std::string& folder,
                      const ProgressFn& progress) {
    struct stat st {};
    const std::string description = folder + "/" + kDescriptionFileName;
    if (lstat(description.c_str(), &st) != 0 && errno == ENOENT)
        return Unpack(source, folder, progress);
    updating_ = true;
    if (!Begin(source)) return false;
    FolderUpdate out;
    std::string why;
    if (!out.Open(folder, why)) return Fail(why);
    std::vector<Recording> recordings;
    PackDescription d;
    if (!Describe(source, recordings, d)) return false;
    const bool done = WriteAll(source, recordings, d, out, progress);
    updateCounts_ = out.GetCounts();
    return done;
}

}  // namespace vox::pack

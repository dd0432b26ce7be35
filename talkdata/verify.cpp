#include "talkdata/verify.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "talkdata/commtable.h"
#include "talkdata/fragtable.h"
#include "talkdata/historycheck.h"
#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "talkdata/slotjournal.h"
#include "talkdata/tablenames.h"
#include "talkdata/talkhistory.h"
#include "talkdata/talklayout.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

constexpr uint32_t kRecordSize = ListTable::kRecordSize;
constexpr uint32_t kWordSize = ListTable::kWordSize;
constexpr uint32_t kCommRecordSize = CommTable::kRecordSize;
constexpr int kVoiceCount = FragTable::kVoiceCount;
constexpr const char* kFragName = kFragFileName;
constexpr const char* kEvalName = kEvalFileName;
constexpr const char* kCommName = kCommFileName;

std::string Num(uint64_t value) { return std::to_string(value); }
std::string Num(int value) { return std::to_string(value); }

// One list record as the file holds it.
struct RawRecord {
    int16_t count = 0;
    uint32_t offset = 0;
};

// What the directory of the talk file looks like, worked out once.
struct TalkShape {
    bool usable = false;  // long enough to hold slot 0
    uint32_t slot0 = 0;
    uint32_t slots = 0;  // slots that lie inside the file
};

// Findings of one kind: the problem's text with its numbers taken out. A broken directory
// gives millions of slots that "point outside the file (byte N of M)"; they are one kind.
std::string KindOf(const std::string& file, const std::string& problem) {
    std::string kind = file + ": ";
    for (char c : problem) {
        if (c < '0' || c > '9') kind += c;
    }
    return kind;
}

// Hands findings on, listing at most kMaxListedPerKind of each kind and counting the rest.
class FindingCounter {
  public:
    FindingCounter(VerifyReport& report, const FindingSink& sink) : report_(report), sink_(sink) {}

    void Add(const VerifyFinding& finding) {
        ++report_.problemCount;
        Kind& kind = kinds_[KindOf(finding.file, finding.problem)];
        if (++kind.seen > VerifyReport::kMaxListedPerKind) return;
        if (kind.seen == 1) kind.first = finding;
        Emit(finding);
    }

    // One finding per kind that went over the limit, saying how many were left out.
    void Finish() {
        for (const auto& [key, kind] : kinds_) {
            if (kind.seen <= VerifyReport::kMaxListedPerKind) continue;
            Emit({kind.first.file, "",
                  std::to_string(kind.seen - VerifyReport::kMaxListedPerKind) +
                      " more problems like \"" + kind.first.problem + "\" are not listed"});
        }
    }

  private:
    struct Kind {
        uint64_t seen = 0;
        VerifyFinding first;
    };

    void Emit(const VerifyFinding& finding) {
        if (sink_)
            sink_(finding);
        else
            report_.findings.push_back(finding);
    }

    VerifyReport& report_;
    const FindingSink& sink_;
    std::map<std::string, Kind> kinds_;
};

class Verifier {
  public:
    Verifier(const DatabaseBytes& files, const EntryDecodeCheck& decode, const ProgressFn& progress,
             FindingCounter& findings, VerifyReport& report)
        : files_(files),
          talkBytes_(files.talk),
          decode_(decode),
          progress_(progress),
          findings_(findings),
          report_(report) {}

    void RunTalkOnly() {
        talk_ = ShapeOf(talkBytes_);
        CheckTalk();
    }

    void Run() {
        talk_ = ShapeOf(talkBytes_);
        CheckTalk();
        if (!report_.cancelled) {
            fragCount_ = CheckListFile(kFragName, files_.frags, "fragment");
            evalCount_ = CheckListFile(kEvalName, files_.evals, "eval");
            CheckCommFile();
        }
    }

  private:
    void Add(const std::string& file, const std::string& place, const std::string& problem) {
        findings_.Add({file, place, problem});
    }

    // Another program's replace appends an entry and then points a slot at it; a reader's
    // mapping shows the slot at once but ends where the file ended when it was mapped. Only a
    // slot that still points outside after a fresh mapping is broken.
    bool TalkGrew() {
        if (!files_.remapTalk) return false;
        const ByteSpan grown = files_.remapTalk();
        if (grown.size() <= talkBytes_.size()) return false;
        talkBytes_ = grown;
        return true;
    }

    static TalkShape ShapeOf(ByteSpan talk) {
        TalkShape shape;
        if (talk.size() < kTalkHeaderSize + kTalkSlotSize) return shape;
        shape.usable = true;
        shape.slot0 = ReadU32(talk.data() + kTalkHeaderSize);
        const uint64_t inFile = (talk.size() - kTalkHeaderSize) / kTalkSlotSize;
        shape.slots = static_cast<uint32_t>(std::min<uint64_t>(VoxFile::SlotCount(talk), inFile));
        return shape;
    }

    // --- talk file ---------------------------------------------------------------------------

    void CheckTalk() {
        const std::string& name = files_.talkName;
        if (talkBytes_.empty()) return;
        std::string why;
        if (!VoxFile::HasWellFormedDirectory(talkBytes_, &why)) Add(name, "directory", why);
        std::set<uint32_t> decoded;
        for (uint32_t slot = 0; slot < talk_.slots && !report_.cancelled; ++slot) {
            CheckSlot(slot, decoded);
            if (!ReportProgress(progress_, slot + 1, talk_.slots)) report_.cancelled = true;
        }
    }

    void CheckSlot(uint32_t slot, std::set<uint32_t>& decoded) {
        const uint32_t at = kTalkHeaderSize + kTalkSlotSize * slot;
        VoxEntry entry;
        if (!VoxFile::GetVoxEntry(talkBytes_, static_cast<int>(slot), entry)) TalkGrew();
        const ByteSpan talk = talkBytes_;
        const uint32_t offset = ReadU32(talk.data() + at);
        const std::string place =
            "slot " + Num(uint64_t{slot}) + " (byte " + Num(uint64_t{at}) + ")";
        if (offset == 0) return;  // an absent entry; a fragment naming it is reported there
        if (offset < talk_.slot0 && slot != 0) {
            Add(files_.talkName, place,
                "points into the directory (byte " + Num(uint64_t{offset}) + ")");
            return;
        }
        if (uint64_t{offset} + kTalkEntryHeaderSize > talk.size()) {
            Add(files_.talkName, place,
                "points outside the file (byte " + Num(uint64_t{offset}) + " of " +
                    Num(uint64_t{talk.size()}) + ")");
            return;
        }
        if (!VoxFile::GetVoxEntry(talk, static_cast<int>(slot), entry)) {
            Add(files_.talkName, place,
                "its entry at byte " + Num(uint64_t{offset}) + " claims " +
                    Num(uint64_t{ReadU32(talk.data() + offset + 4)}) +
                    " coded bytes, which run past the end of the file");
            return;
        }
        // Slots that share an entry share its verdict; it is decoded once.
        if (!decoded.insert(offset).second || !decode_) return;
        std::string why;
        if (!decode_(entry, &why)) {
            Add(files_.talkName, place,
                "its entry at byte " + Num(uint64_t{offset}) + " does not decode" +
                    (why.empty() ? std::string() : ": " + why));
        }
    }

    // Why voxIndex names no talk entry, or empty when it does.
    std::string TalkEntryProblem(int voxIndex) {
        if (!talk_.usable) return "";  // the talk file's own finding says why
        if (voxIndex < 0) return "negative talk entry " + Num(voxIndex);
        if (static_cast<uint32_t>(voxIndex) >= talk_.slots) {
            return "talk entry " + Num(voxIndex) + " lies beyond the directory (" +
                   Num(uint64_t{talk_.slots}) + " slots)";
        }
        const uint32_t at = kTalkHeaderSize + kTalkSlotSize * static_cast<uint32_t>(voxIndex);
        if (ReadU32(talkBytes_.data() + at) == 0) {
            return "talk entry " + Num(voxIndex) + " is empty (its slot holds 0)";
        }
        VoxEntry entry;
        if (!VoxFile::GetVoxEntry(talkBytes_, voxIndex, entry) &&
            !(TalkGrew() && VoxFile::GetVoxEntry(talkBytes_, voxIndex, entry))) {
            return "talk entry " + Num(voxIndex) + " lies outside the talk file";
        }
        return "";
    }

    // --- fragFile.bin and evalFile.bin ---------------------------------------------------------

    // Checks the layout shared by both tables and then each element; returns the number of
    // records, which the references from other files are checked against, or -1 when the file
    // has no records to check against (its own finding says why).
    int CheckListFile(const char* name, ByteSpan file, const std::string& what) {
        if (file.empty()) return -1;
        if (file.size() < kRecordSize) {
            Add(name, "",
                "the file is shorter than one record (" + Num(uint64_t{file.size()}) + " bytes)");
            return -1;
        }
        const uint32_t first = ReadU32(file.data() + 4);
        if (first < kRecordSize || first > file.size()) {
            Add(name, what + " 0",
                "its list offset " + Num(uint64_t{first}) +
                    (first < kRecordSize ? " lies inside the record area"
                                         : " lies beyond the end of the file (" +
                                               Num(uint64_t{file.size()}) + " bytes)"));
            return -1;
        }
        if (first % kRecordSize != 0) {
            Add(name, what + " 0",
                "its list offset " + Num(uint64_t{first}) +
                    " is not a multiple of 8, so the record area has no clear end");
        }
        if ((file.size() - first) % kWordSize != 0) {
            Add(name, "", "the file ends in a partial element word");
        }
        const uint32_t count = first / kRecordSize;
        std::vector<RawRecord> records(count);
        for (uint32_t r = 0; r < count; ++r) {
            records[r].count = ReadI16(file.data() + kRecordSize * r + 2);
            records[r].offset = ReadU32(file.data() + kRecordSize * r + 4);
        }
        CheckListLayout(name, file, what, records);
        for (uint32_t r = 0; r < count; ++r) {
            CheckElements(name, file, what, static_cast<int>(r), records[r]);
        }
        return static_cast<int>(count);
    }

    void CheckListLayout(const char* name, ByteSpan file, const std::string& what,
                         const std::vector<RawRecord>& records) {
        uint64_t expected = records[0].offset;
        for (size_t r = 0; r < records.size(); ++r) {
            const std::string place = what + " " + Num(uint64_t{r});
            const RawRecord& rec = records[r];
            if (rec.count < 0) Add(name, place, "negative element count " + Num(int{rec.count}));
            if (rec.offset != expected) {
                Add(name, place,
                    "its list starts at byte " + Num(uint64_t{rec.offset}) + ", expected " +
                        Num(expected) + " (lists follow each other without gaps)");
            }
            const uint64_t end = uint64_t{rec.offset} +
                                 kWordSize * static_cast<uint64_t>(std::max<int>(rec.count, 0));
            if (end > file.size()) {
                Add(name, place,
                    "its list of " + Num(int{rec.count}) +
                        " elements runs past the end of the file");
            }
            expected = std::max(expected, end);
        }
        const uint64_t wordsEnd =
            records[0].offset + (file.size() - records[0].offset) / kWordSize * kWordSize;
        if (expected < wordsEnd) {
            Add(name, "",
                "bytes " + Num(expected) + " to " + Num(wordsEnd - 1) +
                    " hold element words that no record lists");
        }
    }

    void CheckElements(const char* name, ByteSpan file, const std::string& what, int r,
                       const RawRecord& rec) {
        const bool frags = what == "fragment";
        int previous = 0;
        for (int p = 0; p < rec.count; ++p) {
            const uint64_t at = uint64_t{rec.offset} + kWordSize * static_cast<uint64_t>(p);
            if (rec.offset < kRecordSize || at + kWordSize > file.size()) return;
            const int key = ReadI16(file.data() + at);
            const int value = ReadI16(file.data() + at + 2);
            const std::string place = what + " " + Num(r);
            const char* keyName = frags ? "voice" : "index";
            if (p > 0 && key == previous) {
                Add(name, place, std::string(keyName) + " " + Num(key) + " occurs twice");
            } else if (p > 0 && key < previous) {
                Add(name, place,
                    std::string(frags ? "voices" : "indices") + " out of order (" + Num(key) +
                        " after " + Num(previous) + ")");
            }
            previous = key;
            if (frags)
                CheckVoice(name, place, key, value);
            else
                CheckAlternative(name, place, key, value);
        }
    }

    void CheckVoice(const char* name, const std::string& place, int voice, int voxIndex) {
        if (voice < 0 || voice >= kVoiceCount) {
            Add(name, place, "voice " + Num(voice) + " is outside 0 to 13");
        }
        const std::string problem = TalkEntryProblem(voxIndex);
        if (!problem.empty()) Add(name, place + " voice " + Num(voice), problem);
    }

    void CheckAlternative(const char* name, const std::string& place, int index, int frag) {
        if (fragCount_ >= 0 && (frag < 0 || frag >= fragCount_)) {
            Add(name, place + " index " + Num(index),
                "fragment " + Num(frag) + " does not exist (" + Num(fragCount_) + " fragments)");
        }
    }

    // --- commFile.bin --------------------------------------------------------------------------

    void CheckCommFile() {
        const ByteSpan file = files_.comms;
        if (file.empty()) return;
        if (file.size() < kCommRecordSize) {
            Add(kCommName, "",
                "the file is shorter than one record (" + Num(uint64_t{file.size()}) + " bytes)");
            return;
        }
        const uint32_t first = ReadU32(file.data() + 10);
        uint64_t count = first / kCommRecordSize;
        if (count == 0) {
            Add(kCommName, "comm 0",
                "its list offset " + Num(uint64_t{first}) + " leaves no room for the records");
            return;
        }
        if (first % kCommRecordSize != 0) {
            Add(kCommName, "comm 0",
                "its list offset " + Num(uint64_t{first}) +
                    " is not a multiple of 14, so the record area has no "
                    "clear end");
        }
        if (count * kCommRecordSize > file.size()) {
            Add(kCommName, "",
                Num(count) + " comms (from the list offset of comm 0) need " +
                    Num(count * kCommRecordSize) +
                    " bytes of records; the file "
                    "has " +
                    Num(uint64_t{file.size()}));
            count = file.size() / kCommRecordSize;
        }
        for (uint64_t c = 0; c < count; ++c) CheckComm(static_cast<int>(c), count);
    }

    void CheckComm(int c, uint64_t count) {
        const ByteSpan file = files_.comms;
        const uint8_t* record = file.data() + kCommRecordSize * static_cast<uint64_t>(c);
        const uint32_t elements = record[8];
        const uint32_t listOffset = ReadU32(record + 10);
        const std::string place = "comm " + Num(c);
        if (elements == 0) return;
        if (listOffset < count * kCommRecordSize) {
            Add(kCommName, place,
                "its list starts at byte " + Num(uint64_t{listOffset}) +
                    ", inside the record area");
        }
        const uint64_t end = uint64_t{listOffset} + 2ull * elements;
        if (end > file.size()) {
            Add(kCommName, place,
                "its list of " + Num(uint64_t{elements}) + " entries at byte " +
                    Num(uint64_t{listOffset}) + " runs outside the file (" +
                    Num(uint64_t{file.size()}) + " bytes)");
            return;
        }
        for (uint32_t p = 0; p < elements; ++p) {
            CheckCommEntry(place + " entry " + Num(uint64_t{p}),
                           ReadI16(file.data() + listOffset + 2 * p));
        }
    }

    void CheckCommEntry(const std::string& place, int entry) {
        if (entry >= 0 && fragCount_ >= 0 && entry >= fragCount_) {
            Add(kCommName, place,
                "fragment " + Num(entry) + " does not exist (" + Num(fragCount_) + " fragments)");
        } else if (entry < 0 && evalCount_ >= 0 && -entry >= evalCount_) {
            Add(kCommName, place,
                "eval " + Num(-entry) + " does not exist (" + Num(evalCount_) + " evals)");
        }
    }

    const DatabaseBytes& files_;
    ByteSpan talkBytes_;
    const EntryDecodeCheck& decode_;
    const ProgressFn& progress_;
    FindingCounter& findings_;
    VerifyReport& report_;
    TalkShape talk_;
    int fragCount_ = 0;
    int evalCount_ = 0;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string VerifyFinding::Text() const {
    return file + ": " + (place.empty() ? std::string() : place + ": ") + problem;
}

VerifyReport VerifyDatabase(const DatabaseBytes& files, const EntryDecodeCheck& decode,
                            const ProgressFn& progress, const FindingSink& sink) {
    VerifyReport report;
    FindingCounter findings(report, sink);
    Verifier(files, decode, progress, findings, report).Run();
    findings.Finish();
    return report;
}

VerifyReport VerifyTalkDirectory(ByteSpan talk, const std::string& talkName) {
    VerifyReport report;
    const FindingSink noSink;  // held by reference
    FindingCounter findings(report, noSink);
    DatabaseBytes files;
    files.talkName = talkName;
    files.talk = talk;
    if (talk.empty()) findings.Add({talkName, "", "the file is empty"});
    const EntryDecodeCheck noDecode;
    const ProgressFn noProgress;
    Verifier(files, noDecode, noProgress, findings, report).RunTalkOnly();
    findings.Finish();
    return report;
}

VerifyReport VerifyDatabaseFiles(const std::string& talkPath, const EntryDecodeCheck& decode,
                                 const ProgressFn& progress, const FindingSink& sink) {
    VerifyReport report;
    FindingCounter findings(report, sink);
    DatabaseBytes files;
    files.talkName = BaseName(talkPath);
    MappedFile talk;
    if (talk.Open(talkPath, 0)) {
        files.talk = talk.Bytes();
        files.remapTalk = [&talk] { return talk.RemapIfGrown() ? talk.Bytes() : ByteSpan(); };
    } else {
        findings.Add({files.talkName, "", "cannot be read: " + talk.GetError()});
    }
    if (HasSlotJournal(talkPath)) {
        findings.Add({BaseName(SlotJournalPath(talkPath)), "",
                      "a writer was stopped while it re-pointed a batch of slots; the next "
                      "writing command completes the batch"});
    }

    const std::string folder = FolderOf(talkPath);
    std::vector<uint8_t> tables[3];
    const char* names[3] = {kFragName, kEvalName, kCommName};
    for (int i = 0; i < 3; ++i) {
        std::string why;
        if (!ReadWholeFile(folder + names[i], tables[i], why)) {
            findings.Add({names[i], "", "cannot be read: " + why});
        } else if (tables[i].empty()) {
            findings.Add({names[i], "", "the file is empty"});
        }
    }
    files.frags = tables[0];
    files.evals = tables[1];
    files.comms = tables[2];
    Verifier(files, decode, progress, findings, report).Run();
    std::vector<uint8_t> history;
    std::string why;
    const std::string historyPath = HistoryPath(talkPath);
    if (ReadWholeFile(historyPath, history, why)) {
        VerifyHistory(history, talk.Bytes(), BaseName(historyPath), decode,
                      [&findings](const VerifyFinding& finding) { findings.Add(finding); });
    } else if (::access(historyPath.c_str(), F_OK) == 0) {
        findings.Add({BaseName(historyPath), "", "cannot be read: " + why});
    }
    findings.Finish();
    report.talkDamaged = talk.WasCut();
    return report;
}

}  // namespace vox

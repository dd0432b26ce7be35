#include "pack/descriptioncheck.h"

#include <string_view>
#include <vector>

#include "talkdata/tablenames.h"

namespace vox::pack {
namespace {

bool Fail(DescriptionError& error, int line, const std::string& message) {
    error.line = line;
    error.message = message;
    return false;
}

bool CheckFileNames(const PackDescription& d, DescriptionError& error) {
    if (!IsPlainFileName(d.talkName))
        return Fail(error, d.talkNameLine, "'" + d.talkName + "' cannot name the talk file");
    // Every later rewrite writes its temporary copy under the name with a final "$".
    if (d.talkName.back() == '$')
        return Fail(error, d.talkNameLine,
                    "'" + d.talkName +
                        "' cannot name the talk file: a name ending in \"$\" is "
                        "the one its temporary copy would take");
    const struct {
        const std::string& file;
        int line;
    } sideFiles[] = {{d.phrasesFile, d.phrasesLine}, {d.commNamesFile, d.commNamesLine}};
    for (const auto& side : sideFiles) {
        // The side file keeps its name in the packed folder, so it must be a plain name too.
        if (side.line != 0 && (!IsPlainFileName(side.file) || side.file == d.talkName))
            return Fail(error, side.line, "'" + side.file + "' cannot name a side file");
    }
    if (d.phrasesLine != 0 && d.commNamesLine != 0 && d.phrasesFile == d.commNamesFile)
        return Fail(error, d.commNamesLine, "the phrase and comm-name files must differ");
    return true;
}

bool CheckEntries(const PackDescription& d, DescriptionError& error) {
    const int slotCount = d.EffectiveSlotCount();
    std::vector<int> owner(static_cast<size_t>(slotCount), 0);
    for (const EntryDescription& entry : d.entries) {
        if (!IsInsideFolder(entry.wave))
            return Fail(error, entry.line, "'" + entry.wave + "' does not lie inside the folder");
        for (int slot : entry.slots) {
            if (slot >= slotCount) {
                return Fail(error, entry.line,
                            "slot " + std::to_string(slot) + " lies beyond the slot count " +
                                std::to_string(slotCount) + " (line " +
                                std::to_string(d.slotCountLine) + ")");
            }
            int& first = owner[static_cast<size_t>(slot)];
            if (first != 0) {
                return Fail(error, entry.line,
                            "slot " + std::to_string(slot) +
                                " already belongs to the entry on line " + std::to_string(first));
            }
            first = entry.line;
        }
    }
    if (slotCount == 0 || owner[0] == 0) {
        // Slot 0's entry is where the directory ends, so the talk file has no way to say
        // "slot 0 is absent".
        return Fail(error, d.slotCountLine, "slot 0 must hold a talk entry");
    }
    return true;
}

bool CheckFrags(const PackDescription& d, DescriptionError& error) {
    const int slotCount = d.EffectiveSlotCount();
    for (const FragDescription& frag : d.frags) {
        for (const FragVoiceDescription& v : frag.voices) {
            if (v.voxIndex >= slotCount) {
                return Fail(error, frag.line,
                            "voice " + std::to_string(v.voice) + " names talk entry " +
                                std::to_string(v.voxIndex) + ", which does not exist (" +
                                std::to_string(slotCount) + " slots)");
            }
        }
    }
    return true;
}

bool CheckEvals(const PackDescription& d, DescriptionError& error) {
    const int fragCount = static_cast<int>(d.frags.size());
    uint64_t fileSize = 8 * d.evals.size();
    for (const EvalDescription& eval : d.evals) {
        // Offsets in evalFile.bin are 32-bit.
        fileSize += 4 * eval.alternatives.size();
        if (fileSize > 0xFFFFFFFFu) return Fail(error, eval.line, "evalFile.bin would pass 4 GiB");
        for (const EvalAlternativeDescription& a : eval.alternatives) {
            if (a.frag < 0 || a.frag >= fragCount) {
                return Fail(error, eval.line,
                            "alternative " + std::to_string(a.index) + " names fragment " +
                                std::to_string(a.frag) + ", which does not exist");
            }
        }
    }
    return true;
}

bool CheckComms(const PackDescription& d, DescriptionError& error) {
    const int fragCount = static_cast<int>(d.frags.size());
    const int evalCount = static_cast<int>(d.evals.size());
    for (const CommDescription& comm : d.comms) {
        for (int entry : comm.entries) {
            if (entry >= 0 && entry >= fragCount)
                return Fail(error, comm.line,
                            "entry " + std::to_string(entry) + " names fragment " +
                                std::to_string(entry) + ", which does not exist");
            if (entry < 0 && -entry >= evalCount)
                return Fail(error, comm.line,
                            "entry " + std::to_string(entry) + " names eval " +
                                std::to_string(-entry) + ", which does not exist");
        }
    }
    return true;
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    return name != kFragFileName && name != kEvalFileName && name != kCommFileName;
}

bool IsInsideFolder(const std::string& relativePath) {
    if (relativePath.empty() || relativePath.front() == '/') return false;
    std::string_view rest = relativePath;
    while (true) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "..") return false;
        if (slash == std::string_view::npos) return true;
        rest.remove_prefix(slash + 1);
    }
}

bool CheckDescription(const PackDescription& description, DescriptionError& error) {
    return CheckFileNames(description, error) && CheckEntries(description, error) &&
           CheckFrags(description, error) && CheckEvals(description, error) &&
           CheckComms(description, error);
}

}  // namespace vox::pack

#include "workbench/voicelevels.h"

#include <map>
#include <memory>

namespace vox {
namespace {

// The elements of a fragment as (voice, voxIndex) pairs; empty when the fragment is missing.
std::vector<FragElement> Elements(const CVoxbenchDoc& doc, int fragment) {
    std::vector<FragElement> elements;
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return elements;
    FragElement element;
    for (int position = 0; position < record.count; ++position)
        if (doc.GetFragElement(record, position, element)) elements.push_back(element);
    return elements;
}

// Each entry measured at most once, whatever number of voices share it.
class EntryLevelsCache {
  public:
    explicit EntryLevelsCache(CVoxbenchDoc& doc) : doc_(doc) {}

    const std::optional<TakeLevels>& Get(int voxIndex) {
        const auto found = levels_.find(voxIndex);
        if (found != levels_.end()) return found->second;
        TakeLevels levels;
        std::optional<TakeLevels> measured;
        if (MeasureEntryLevels(doc_, voxIndex, levels)) measured = levels;
        return levels_.emplace(voxIndex, measured).first->second;
    }
    int Size() const { return static_cast<int>(levels_.size()); }

  private:
    CVoxbenchDoc& doc_;
    std::map<int, std::optional<TakeLevels>> levels_;
};

// The loudness of each element but the one at `skip`, from the cache.
std::vector<double> LoudnessOfOthers(EntryLevelsCache& cache,
                                     const std::vector<FragElement>& elements, size_t skip) {
    std::vector<double> loudness;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i == skip) continue;
        const std::optional<TakeLevels>& levels = cache.Get(elements[i].voxIndex);
        if (levels) loudness.push_back(levels->loudness);
    }
    return loudness;
}

}  // namespace

bool MeasureEntryLevels(CVoxbenchDoc& doc, int voxIndex, TakeLevels& levels) {
    VoxEntry entry;
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    if (!doc.GetVoxEntry(voxIndex, entry) || !doc.DecodeEntry(entry, pcm, pcmLen)) return false;
    return MeasureTakeLevels(ByteSpan(pcm.get(), pcmLen), levels);
}

std::vector<double> OtherVoicesLoudness(CVoxbenchDoc& doc, int fragment,
                                        std::optional<int> except) {
    std::vector<double> loudness;
    EntryLevelsCache cache(doc);
    for (const FragElement& element : Elements(doc, fragment)) {
        if (except && element.voice == *except) continue;
        const std::optional<TakeLevels>& levels = cache.Get(element.voxIndex);
        if (levels) loudness.push_back(levels->loudness);
    }
    return loudness;
}

LevelsReport MeasureDatabaseLevels(CVoxbenchDoc& doc, const ProgressFn& progress) {
    LevelsReport report;
    EntryLevelsCache cache(doc);
    const int fragments = doc.GetFragCount();
    for (int fragment = 0; fragment < fragments; ++fragment) {
        if (!ReportProgress(progress, static_cast<uint64_t>(fragment),
                            static_cast<uint64_t>(fragments))) {
            report.cancelled = true;
            break;
        }
        const std::vector<FragElement> elements = Elements(doc, fragment);
        for (size_t i = 0; i < elements.size(); ++i) {
            VoiceLevels voice;
            voice.fragment = fragment;
            voice.voice = elements[i].voice;
            voice.voxIndex = elements[i].voxIndex;
            const std::optional<TakeLevels>& levels = cache.Get(voice.voxIndex);
            voice.measured = levels.has_value();
            if (voice.measured) {
                voice.levels = *levels;
                voice.flags = FlagTake(voice.levels, LoudnessOfOthers(cache, elements, i));
            }
            if (voice.Flagged()) ++report.flagged;
            report.voices.push_back(voice);
        }
    }
    if (!report.cancelled)
        ReportProgress(progress, static_cast<uint64_t>(fragments),
                       static_cast<uint64_t>(fragments));
    report.entriesDecoded = cache.Size();
    return report;
}

}  // namespace vox

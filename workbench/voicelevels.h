#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio/takelevels.h"
#include "talkdata/progress.h"
#include "workbench/document.h"

namespace vox {

// The levels of a talk entry as a listener hears it: decoded, then measured. False when the
// entry is missing or does not decode.
bool MeasureEntryLevels(CVoxbenchDoc& doc, int voxIndex, TakeLevels& levels);

// The loudness of every voice of the fragment but `except`, each measured on its decoded entry:
// what a new take for that fragment is compared with and brought to. Voices whose entry is
// missing or does not decode are left out, and so is everything for a fragment that does not
// exist yet.
std::vector<double> OtherVoicesLoudness(CVoxbenchDoc& doc, int fragment, std::optional<int> except);

// One fragment voice of a database, measured.
struct VoiceLevels {
    int fragment = 0;
    int voice = 0;
    int voxIndex = 0;
    bool measured = false;  // false: the entry is missing or does not decode
    TakeLevels levels;
    TakeFlags flags;
    bool Flagged() const {
        return !measured || flags.clipping || flags.silent || flags.loudnessOutlier;
    }
};

struct LevelsReport {
    std::vector<VoiceLevels> voices;  // fragment by fragment, in the order of their elements
    int entriesDecoded = 0;           // talk entries decoded; each at most once
    int flagged = 0;                  // voices for which Flagged() holds
    bool cancelled = false;
    std::string error;
};

// Measures every voice of every fragment and flags it against the fragment's other voices.
// A talk entry that several voices share is decoded once. Only reads. Progress counts the
// fragments; returning false stops it (cancelled, and the voices measured so far are kept).
LevelsReport MeasureDatabaseLevels(CVoxbenchDoc& doc, const ProgressFn& progress = {});

}  // namespace vox

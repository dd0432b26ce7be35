#pragma once

#include <string>
#include <vector>

#include "talkdata/progress.h"
#include "talkdata/status.h"
#include "workbench/document.h"

namespace vox {

class ByteSink;

// What the form's view actions do, without the form: play, and write wave files. The desktop
// program asks for names and runs its guard ("No Voxfile loaded!") first; voxtool takes them
// from its arguments.

// Decodes the fragment's voice and queues it; false when nothing was queued.
bool PlayFragment(CVoxbenchDoc& doc, int fragment, int voice);

// Queues the fragments in order in one voice, stopping at the first that cannot be resolved;
// returns how many were queued.
int PlayFragmentSequence(CVoxbenchDoc& doc, const std::vector<int>& fragments, int voice);

// Whether the fragment's voice names a talk entry that lies in the file.
bool HasRecording(CVoxbenchDoc& doc, int fragment, int voice);
// Why the fragment's voice has no recording ("Fragment 3 has no voice 12"), or empty when it has.
std::string MissingRecordingReason(CVoxbenchDoc& doc, int fragment, int voice);

// The fragment's voice decoded, as the bytes of a wave file. The error says when the fragment,
// the voice or its entry is missing, or the entry does not decode.
Status MakeFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, std::vector<uint8_t>& bytes);

// MakeFragmentWave, written to path safely (an existing file is left as it was on failure).
Status WriteFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, const std::string& path);

struct FragVoicePair {
    int fragment = 0;
    int voice = 0;
};

struct ExportResult {
    int saved = 0;        // wave files written and listed
    int undecodable = 0;  // pairs skipped because their entry does not decode
    int unwritten = 0;    // pairs whose wave file could not be written (not listed either)
    std::vector<FragVoicePair> undecodablePairs;  // in export order
    // Pairs whose voice names a talk entry that is empty or lies outside the talk file.
    std::vector<FragVoicePair> unreadablePairs;
    bool listWritten = false;
    bool cancelled = false;
    std::string error;  // why the list file or the first unwritten wave file failed
};

// Writes "%d-%d.wav" for every voice 0..13 of fragments first..min(last, count) into the list
// file's folder, and the list file itself (two header lines, then "%d-%d;.lh" for each wave
// file written, lines ending in CR LF). When the list file cannot be created nothing is
// written. Returning false from progress stops the export; the list then names what was saved.
ExportResult ExportFragmentRange(CVoxbenchDoc& doc, int first, int last,
                                 const std::string& listPath, const ProgressFn& progress = {});

// The same with the list's text handed to list as it grows (for standard output) and the wave
// files written into folder ("" for the current one, else ending in '/'). listWritten says that
// every listed file is on disk.
ExportResult ExportFragmentRangeTo(CVoxbenchDoc& doc, int first, int last,
                                   const std::string& folder, ByteSink& list,
                                   const ProgressFn& progress = {});

}  // namespace vox

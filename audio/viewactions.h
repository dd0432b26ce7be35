#pragma once

#include <string>
#include <vector>

#include "talkdata/document.h"
#include "talkdata/progress.h"

namespace vox {

// The form's view actions without the form: what they play, save and ask. The desktop program
// calls them after its own guard ("No Voxfile loaded!"); voxtool calls them with a prompter
// that answers from its arguments.

// Decodes the fragment's voice and queues it; false when nothing was queued.
bool PlayFragment(CVoxbenchDoc& doc, int fragment, int voice);

// Queues the fragments in order in one voice, stopping at the first that cannot be resolved;
// returns how many were queued.
int PlayFragmentSequence(CVoxbenchDoc& doc, const std::vector<int>& fragments, int voice);

// Asks for a file name and writes the fragment's voice as a wave file.
void SaveFragmentWave(CVoxbenchDoc& doc, int fragment, int voice);

// The fragment's voice decoded, as the bytes of a wave file; false, and why, as below.
bool MakeFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, std::vector<uint8_t>& bytes,
                      std::string* why = nullptr);

// Decodes the fragment's voice and writes it to path. False, and why, when the fragment, the
// voice or its entry is missing, the entry does not decode or the file cannot be written; an
// existing file is then left as it was.
bool WriteFragmentWave(CVoxbenchDoc& doc, int fragment, int voice, const std::string& path,
                       std::string* why = nullptr);

struct FragVoicePair {
    int fragment = 0;
    int voice = 0;
};

struct ExportResult {
    int saved = 0;          // wave files written and listed
    int undecodable = 0;    // pairs skipped because their entry does not decode
    int unwritten = 0;      // pairs whose wave file could not be written (not listed either)
    std::vector<FragVoicePair> undecodablePairs;  // in export order
    // Pairs whose voice names a talk entry that is empty or lies outside the talk file.
    std::vector<FragVoicePair> unreadablePairs;
    bool listWritten = false;
    bool cancelled = false;
    std::string error;      // why the list file or the first unwritten wave file failed
};

// Writes "%d-%d.wav" for every voice 0..13 of fragments first..min(last, count) into the list
// file's folder, and the list file itself (two header lines, then "%d-%d;.lh" for each wave
// file written, lines ending in CR LF). When the list file cannot be created nothing is
// written. Returning false from progress stops the export; the list then names what was saved.
ExportResult ExportFragmentRange(CVoxbenchDoc& doc, int first, int last,
                                 const std::string& listPath, const ProgressFn& progress = {});

// The whole export command: list-file dialog, range dialog, export, "%d .wav files saved".
void SaveFragmentRange(CVoxbenchDoc& doc, const ProgressFn& progress = {});

}  // namespace vox

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

struct ExportResult {
    int saved = 0;          // wave files written and listed
    int undecodable = 0;    // pairs skipped because their entry does not decode
    bool listWritten = false;
    bool cancelled = false;
    std::string error;      // why the list file or a wave file could not be written
};

// Writes "%d-%d.wav" for every voice 0..13 of fragments first..min(last, count) into the list
// file's folder, and the list file itself.
ExportResult ExportFragmentRange(CVoxbenchDoc& doc, int first, int last,
                                 const std::string& listPath, const ProgressFn& progress = {});

// The whole export command: list-file dialog, range dialog, export, "%d .wav files saved".
void SaveFragmentRange(CVoxbenchDoc& doc, const ProgressFn& progress = {});

}  // namespace vox

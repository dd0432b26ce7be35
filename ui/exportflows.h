#pragma once

#include <functional>

#include "talkdata/progress.h"
#include "workbench/document.h"

namespace vox {

// The form's export actions: the dialogs around the export commands. Every question and
// message goes through the document's prompter; the form runs its guard first.

// Asks for a file name and writes the fragment's voice as a wave file.
void SaveFragmentWave(CVoxbenchDoc& doc, int fragment, int voice);

// The whole export: list-file dialog, range dialog, export, "%d .wav files saved". progressDone
// takes the progress off the screen before any message about the result is shown.
void SaveFragmentRange(CVoxbenchDoc& doc, const ProgressFn& progress = {},
                       const std::function<void()>& progressDone = {});

}  // namespace vox

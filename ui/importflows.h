#pragma once

#include "talkdata/progress.h"
#include "workbench/document.h"

namespace vox {

// The form's import actions: the dialogs around ReadRecording, ReplaceFragment and AddFragment.
// Every question and message goes through the document's prompter. The form runs its guard
// ("No Voxfile loaded!") first.

// Replace: the warning, the file dialog, read, encode, ReplaceFragment.
void ReplaceFromWave(CVoxbenchDoc& doc, int fragment, int voice);

// Replace without the warning; true when the entry now holds the new recording.
bool ReplaceWithWave(CVoxbenchDoc& doc, int fragment, int voice);

// The common part of Add New and Add Voice: file dialog, read, encode, the voice dialog
// (preset to fragmentVoice), AddFragment. fragmentVoice becomes the voice typed in the dialog,
// whether or not the add succeeded.
void ImportWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice,
                const ProgressFn& progress = {});

// ImportWave, telling whether the voice was added.
bool AddFromWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice,
                 const ProgressFn& progress = {});

}  // namespace vox

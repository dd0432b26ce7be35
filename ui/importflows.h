#pragma once

#include "talkdata/progress.h"
#include "workbench/document.h"

class QUndoStack;

namespace vox {

// The form's import actions: the dialogs around ReadRecording, ReplaceFragment and AddFragment.
// Every question and message goes through the document's prompter. The form runs its guard
// ("No Voxfile loaded!") first.

// The take is any sound file ReadRecording reads, normalized when the file dialog's check box
// says so; one too long for an entry is cut only after a yes. Replace and Add Voice then let the
// person hear the new take as it will sound once coded, and the recording shown, before
// anything is written. A stored take's notes go to the status bar, its warnings to a message.
// Given an undo stack, a stored take becomes an undoable command on it.

// Replace: the warning, the file dialog, read, encode, confirm, ReplaceFragment.
void ReplaceFromWave(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo = nullptr);

// Replace without the warning; true when the entry now holds the new recording.
bool ReplaceWithWave(CVoxbenchDoc& doc, int fragment, int voice, QUndoStack* undo = nullptr);

// The common part of Add New and Add Voice: file dialog, read, encode, confirm (for a fragment
// that exists), the voice dialog (preset to fragmentVoice), AddFragment. fragmentVoice becomes the
// voice typed in the dialog, whether or not the add succeeded.
void ImportWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice,
                const ProgressFn& progress = {}, QUndoStack* undo = nullptr);

// ImportWave, telling whether the voice was added.
bool AddFromWave(CVoxbenchDoc& doc, int fragment, int& fragmentVoice,
                 const ProgressFn& progress = {}, QUndoStack* undo = nullptr);

}  // namespace vox

#pragma once

#include "workbench/document.h"

namespace vox {

// The document's menu commands that ask the person something: which file to save a table to,
// which side file to load, which number to search for. Every question and message goes
// through the document's prompter.

// False when the person cancelled or the table could not be written.
bool OnSaveEvalFile(CVoxbenchDoc& doc);
bool OnSaveFragFile(CVoxbenchDoc& doc);
void OnLoadPhrases(CVoxbenchDoc& doc);
void OnLoadCommNames(CVoxbenchDoc& doc);
void OnFindFragInEval(CVoxbenchDoc& doc);
void OnFindEvalInCommand(CVoxbenchDoc& doc);
void OnFindFragInCommand(CVoxbenchDoc& doc);

// The framework's save: each modified table through its save dialog, then the talk file's
// changed pages. False, and the document still modified, when any of it was not saved.
bool OnSaveDocument(CVoxbenchDoc& doc);

}  // namespace vox

#pragma once

#include <QString>
#include <functional>

#include "talkdata/verify.h"
#include "workbench/listimport.h"

class QUndoStack;
class QWidget;

namespace vox {

class CVoxbenchDoc;

// The File menu's maintenance commands. Questions and messages go through the document's
// prompter; long work shows a progress dialog with Cancel after a moment.

// Asks for an export's list file and re-installs it (ImportExportList), then refreshes the
// views and says how many recordings were replaced, left unchanged and refused, and why.
void ReinstallExport(CVoxbenchDoc& doc, QWidget* parent);

// Checks the open database's files as they are on disk and hands the report to show (the
// report dialog in the program).
void VerifyDatabase(CVoxbenchDoc& doc, QWidget* parent,
                    const std::function<void(const QString&)>& show);

// Drops the bytes no slot points to from the open talk file (CompactOpenTalkFile) and says
// how many. Entries move, so what the undo stack would point slots back at is gone: a compact
// that rewrote the file empties the stack and says so. Unsaved table edits stay unsaved.
void CompactTalk(CVoxbenchDoc& doc, QWidget* parent, QUndoStack* undo);

// The texts the two commands show.
std::string ReinstallSummary(const ImportResult& result);
QString VerifyReportText(const VerifyReport& report, bool unsavedTables);

}  // namespace vox

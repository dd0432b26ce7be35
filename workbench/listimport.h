#pragma once

#include <string>
#include <vector>

#include "talkdata/progress.h"
#include "workbench/document.h"

namespace vox {

// A line of the list file that was not imported, and why; or, among the notes, one that was
// read with something worth saying ("converted from 48000 Hz stereo 24-bit").
struct ImportRefusal {
    int line = 0;  // 1-based line number in the list file
    std::string text;
    std::string why;
};

struct ImportResult {
    int replaced = 0;   // lines whose recording the talk file now holds
    int unchanged = 0;  // lines whose wave file the entry already holds
    std::vector<ImportRefusal> refused;
    std::vector<ImportRefusal> notes;  // wave files that had to be converted
    bool listRead = false;   // false: the list file itself could not be read (error says why)
    bool cancelled = false;  // progress asked to stop before anything was written
    std::string error;
};

// Re-installs an export: for every "F-V;.lh" line of the list file, reads "F-V.wav" from the
// list file's folder and, where its samples differ from what fragment F's voice V decodes to,
// replaces that talk entry. A wave file edited into another format (another rate, stereo,
// FLAC under the same name, ...) is converted, and noted. Unchanged waves are skipped, and so
// are waves whose coded form the entry already holds (an earlier import), so only edited
// recordings are replaced. Every line is checked and coded before anything is written; then
// every new entry goes in as one batch (CVoxbenchDoc::ReplaceEntries), applied whole or not at
// all, also when a kill or a power cut stops it: a batch that holds slot 0 is one rewrite of
// the talk file. Refused lines (not a list line, missing file, unreadable sound file, missing
// fragment or voice, a recording longer than an entry holds, two lines giving one shared entry
// different samples) are named with their reasons; everything else is still imported.
// Progress counts the list's lines; returning false stops the import before the talk file is
// touched.
ImportResult ImportExportList(CVoxbenchDoc& doc, const std::string& listPath,
                              const ProgressFn& progress = {});

}  // namespace vox

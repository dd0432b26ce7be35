#pragma once

#include <optional>
#include <string>

#include "workbench/prompter.h"

namespace vox {

class CVoxbenchDoc;

// Where file dialogs open. A table is saved beside its talk file; wave and list files come and
// go from folders of the person's own, so each kind of dialog opens where it was last used,
// kept in the profile across runs.
namespace folder {
constexpr const char* kWaveOpen = "WaveOpen";
constexpr const char* kWaveSave = "WaveSave";
constexpr const char* kExportList = "ExportList";
constexpr const char* kReinstallList = "ReinstallList";
}  // namespace folder

// The folder holding the open talk file, absolute; empty for a document never opened.
std::string TalkFileFolder(const CVoxbenchDoc& doc);

// The file dialog opened in the folder last used for purpose; the chosen file's folder is
// remembered for the next time.
std::optional<std::string> AskFileInRememberedFolder(CVoxbenchDoc& doc, FileDialogRequest request,
                                                     const char* purpose);
std::optional<FileChoice> AskFileWithOptionInRememberedFolder(CVoxbenchDoc& doc,
                                                              FileDialogRequest request,
                                                              const char* purpose);

}  // namespace vox

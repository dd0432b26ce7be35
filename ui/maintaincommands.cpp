#include "ui/maintaincommands.h"

#include <QObject>
#include <QUndoStack>

#include "audio/entrydecodecheck.h"
#include "ui/dialogfolders.h"
#include "ui/dialogs/undocommands.h"
#include "ui/longtask.h"
#include "workbench/document.h"

namespace vox {
namespace {

// A message box shows this many refused lines; the rest are counted.
constexpr size_t kRefusalsShown = 12;

bool Guard(CVoxbenchDoc& doc) {
    if (doc.GetFragCount() != 0) return true;
    doc.GetPrompter().ShowMessage("No Voxfile loaded!");
    return false;
}

}  // namespace

std::string ReinstallSummary(const ImportResult& result) {
    if (!result.listRead) return "File open failed\n" + result.error;
    if (result.cancelled) return "Reinstall cancelled; the voxfile is unchanged";
    std::string text = std::to_string(result.replaced) + " replaced, " +
                       std::to_string(result.unchanged) + " unchanged, " +
                       std::to_string(result.refused.size()) + " refused";
    for (size_t i = 0; i < result.refused.size() && i < kRefusalsShown; ++i) {
        const ImportRefusal& refusal = result.refused[i];
        text +=
            "\nline " + std::to_string(refusal.line) + " \"" + refusal.text + "\": " + refusal.why;
    }
    if (result.refused.size() > kRefusalsShown) {
        text += "\nand " + std::to_string(result.refused.size() - kRefusalsShown) + " more";
    }
    // Converted wave files are worth knowing about, not worth a list as long as the export.
    for (size_t i = 0; i < result.notes.size() && i < kRefusalsShown; ++i) {
        const ImportRefusal& note = result.notes[i];
        text += "\nline " + std::to_string(note.line) + " \"" + note.text + "\": " + note.why;
    }
    if (result.notes.size() > kRefusalsShown) {
        text += "\nand " + std::to_string(result.notes.size() - kRefusalsShown) + " more converted";
    }
    if (!result.error.empty()) text += "\n" + result.error;
    return text;
}

QString VerifyReportText(const VerifyReport& report, bool unsavedTables) {
    QString text;
    if (unsavedTables) text += "The tables have unsaved changes; this checks the saved files.\n\n";
    for (const VerifyFinding& finding : report.findings) {
        text += QString::fromStdString(finding.Text()) + "\n";
    }
    if (report.cancelled) return text + "Check cancelled; the list is incomplete.\n";
    if (report.problemCount == 0) return text + "No problems found.\n";
    return text + QString::number(report.problemCount) +
           (report.problemCount == 1 ? " problem found.\n" : " problems found.\n");
}

void ReinstallExport(CVoxbenchDoc& doc, QWidget* parent) {
    if (!Guard(doc)) return;
    FileDialogRequest request;
    request.defaultExtension = "csv";
    request.fileName = "Filenames.csv";
    request.filter = "List Files (*.csv)|*.csv|All files (*.*)|*.*||";
    request.mustExist = true;
    const std::optional<std::string> listPath =
        AskFileInRememberedFolder(doc, request, folder::kReinstallList);
    if (!listPath || listPath->empty()) return;
    LongTask task(parent);
    const ImportResult result =
        ImportExportList(doc, *listPath, task.Start(QObject::tr("Reinstalling the export...")));
    task.Finish();
    doc.UpdateAllViews();
    doc.GetPrompter().ShowMessage(ReinstallSummary(result));
}

void CompactTalk(CVoxbenchDoc& doc, QWidget* parent, QUndoStack* undo) {
    if (!Guard(doc)) return;
    LongTask task(parent);
    const CompactResult result =
        doc.CompactOpenTalkFile(task.Start(QObject::tr("Compacting the talk file...")));
    task.Finish();
    if (result.cancelled) {
        doc.GetPrompter().ShowMessage("Compact cancelled; the talk file is unchanged");
        return;
    }
    if (!result.error.empty()) {
        doc.GetPrompter().ShowMessage("Compact failed\n" + result.error);
        return;
    }
    std::string text = std::to_string(result.Reclaimed()) + " bytes reclaimed (" +
                       std::to_string(result.oldSize) + " -> " + std::to_string(result.newSize) +
                       " bytes)";
    if (result.rewritten && undo != nullptr && undo->count() > 0) {
        ForgetHistory(undo, doc);
        text += "\nUndo history cleared: compact dropped the bytes it needs.";
    }
    doc.GetPrompter().ShowMessage(text);
}

void VerifyDatabase(CVoxbenchDoc& doc, QWidget* parent,
                    const std::function<void(const QString&)>& show) {
    if (!Guard(doc)) return;
    LongTask task(parent);
    const VerifyReport report =
        VerifyDatabaseFiles(doc.GetPathName(), MakeEntryDecodeCheck(doc.GetCodec()),
                            task.Start(QObject::tr("Checking...")));
    task.Finish();
    show(VerifyReportText(report, doc.IsModified()));
}

}  // namespace vox

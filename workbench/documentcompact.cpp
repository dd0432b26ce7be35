// compact for the open document: voxtool's compact itself, so that both keep and drop the same
// bytes and move the history's offsets alike. It takes the writer lock of its own, which the
// document's lock would refuse: the document lets go of the talk file while it runs and takes
// it back after. The tables in memory, edited or not, stay as they are.
#include "talkdata/compact.h"
#include "workbench/document.h"

namespace vox {

CompactResult CVoxbenchDoc::CompactOpenTalkFile(const ProgressFn& progress) {
    CompactResult result;
    if (!voxFile_.IsOpen() || readOnly_) {
        result.error = "No talk file is open for writing";
        return result;
    }
    if (!FlushTalkFile()) {
        result.error = path_ + ": the talk file's changed pages could not be written";
        return result;
    }
    voxFile_.Close();
    writerLock_.Release();
    CompactTalkFile(path_, result, progress);
    if (result.rewritten) NoteEntryMove(std::nullopt);
    if (!writerLock_.Acquire(path_) || !voxFile_.Open(path_, 1)) {
        // Another writer came in between: the database stays open for looking.
        const std::string why = writerLock_.IsHeld() ? voxFile_.GetError() : writerLock_.GetError();
        writerLock_.Release();
        readOnly_ = true;
        voxFile_.Open(path_, 0);
        result.error += (result.error.empty() ? "" : "\n") + path_ +
                        " could not be taken back for writing (" + why +
                        "); it is open read-only now";
    }
    UpdateAllViews();
    return result;
}

}  // namespace vox

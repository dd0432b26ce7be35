// compact for the open document: the same rewrite as voxtool compact, through the document's
// mapping and the writer lock it already holds (a second lock on the file would refuse it).
#include "talkdata/compact.h"
#include "workbench/document.h"
#include "workbench/talkrewrite.h"

namespace vox {

CompactResult CVoxbenchDoc::CompactOpenTalkFile(const ProgressFn& progress) {
    CompactResult result;
    if (!voxFile_.IsOpen() || readOnly_) {
        result.error = "No talk file is open for writing";
        return result;
    }
    result.oldSize = result.newSize = voxFile_.GetSize();
    uint64_t newSize = 0;
    std::string why;
    if (!CompactedSize(voxFile_.Bytes(), newSize, &why)) {
        result.error = voxFile_.GetPath() + ": " + why;
        return result;
    }
    if (newSize == result.oldSize) return result;  // nothing to reclaim
    const Status status = RewriteTalkFile(
        voxFile_, writerLock_, newSize,
        [this](ByteSink& sink) {
            uint64_t written = 0;
            return WriteCompactedTalk(voxFile_.Bytes(), sink, {}, written);
        },
        progress);
    result.error = status.error;
    result.cancelled = status.cancelled;
    if (!status) return result;
    result.newSize = newSize;
    result.rewritten = true;
    UpdateAllViews();
    return result;
}

}  // namespace vox

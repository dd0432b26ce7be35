#include "talkdata/leftovers.h"

#include <sys/stat.h>
#include <unistd.h>

#include "talkdata/safefile.h"
#include "talkdata/slotjournal.h"
#include "talkdata/tablenames.h"
#include "talkdata/voxfile.h"

namespace vox {

bool PrepareToWrite(const std::string& talkPath, time_t lockedAt, std::string* why) {
    const std::string folder = FolderOf(talkPath);
    for (const char* table : {kFragFileName, kEvalFileName}) {
        RemoveStaleTemporaries(folder + table, lockedAt);
    }
    const std::string target = ResolveLinks(talkPath);
    RemoveStaleTemporaries(target, lockedAt);
    const std::string talkTemp = TemporaryTalkPath(target);
    struct stat info {};
    if (!talkTemp.empty() && lstat(talkTemp.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_mtime < lockedAt) {
        unlink(talkTemp.c_str());
    }
    return CompleteInterruptedBatch(talkPath, why);
}

}  // namespace vox

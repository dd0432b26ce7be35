#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "talkdata/mappedfile.h"
#include "talkdata/progress.h"
#include "talkdata/safefile.h"
#include "talkdata/status.h"
#include "talkdata/voxfile.h"
#include "talkdata/writerlock.h"

namespace vox {

// Writes a new version of the talk file under its temporary name ("speech.vo$") and puts it in
// the talk file's place in one rename, holding the writer lock on the old file until the new one
// is in place. writeNewVersion writes the whole new file to the sink it is given (reading from
// the talk file's mapping); newSize is for progress. Whatever fails, the talk file keeps its old
// contents, the temporary file is gone, and the mapping is open again on whichever version is in
// place. The error names the step, the file and the reason; a progress that asks to stop
// cancels it.
Status RewriteTalkFile(MappedFile& talk, WriterLock& lock, uint64_t newSize,
                       const std::function<bool(ByteSink&)>& writeNewVersion,
                       const ProgressFn& progress);

// Why the talk file may not be rewritten to newSize bytes, or empty when it may.
std::string WhyNoRewrite(const MappedFile& talk, uint64_t newSize);

// Slot 0's new entry and, when given, other slots of a batch, in one rewrite
// (VoxFile::WriteWithNewFirstEntry).
Status RewriteWithFirstEntry(MappedFile& talk, WriterLock& lock, const VoxFile::NewEntry& first,
                             const std::vector<VoxFile::NewEntry>& others);

// Slot 0 pointed at the entry already at entry, in one rewrite (VoxFile::WriteWithEntryFirst);
// the file keeps its size.
Status RewriteWithEntryFirst(MappedFile& talk, WriterLock& lock, uint32_t entry);

}  // namespace vox

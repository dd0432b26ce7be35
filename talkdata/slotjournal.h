#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

class MappedFile;

// Re-pointing many slots cannot be done in one step that a kill or a power cut respects: the
// directory spans pages, and the kernel may stop a write between them. So before the first
// slot of a batch is written, the whole set of new slot values goes into a journal beside the
// talk file ("speech.vox.journal", written safely, so that it is whole or absent). The entries
// it points at are already on the disk by then. The journal is removed once every slot is
// written and flushed; one found later belongs to a batch that was stopped part-way, and the
// next writer completes it before it does anything else. The batch is thus applied whole or
// not at all.
struct SlotAssignment {
    uint32_t voxIndex = 0;
    uint32_t offset = 0;  // the entry the slot points at
};

struct SlotJournal {
    uint32_t talkSize = 0;  // the talk file's size with the batch's entries appended
    std::vector<SlotAssignment> slots;
};

std::string SlotJournalPath(const std::string& talkPath);

// The journal's bytes: "VXJ1", talkSize, count, the pairs, then an FNV-1a checksum of all that.
std::vector<uint8_t> SlotJournalBytes(const SlotJournal& journal);
// False, and why, for bytes that are not a whole journal.
bool ParseSlotJournal(ByteSpan bytes, SlotJournal& out, std::string* why = nullptr);

bool WriteSlotJournal(const std::string& talkPath, const SlotJournal& journal,
                      std::string* why = nullptr);
bool RemoveSlotJournal(const std::string& talkPath, std::string* why = nullptr);
bool HasSlotJournal(const std::string& talkPath);

// Writes every slot of the journal into the open, writable talk file, flushes them and
// removes the journal. Refused, with the journal left for a person to look at, when it does
// not fit the file: a slot outside the directory, or an entry outside the file.
bool ApplySlotJournal(MappedFile& talk, const SlotJournal& journal, std::string* why = nullptr);

// What a writer does first after taking the lock: when a journal lies beside the talk file,
// completes its batch. True when there was none, or it was completed.
bool CompleteInterruptedBatch(const std::string& talkPath, std::string* why = nullptr);

}  // namespace vox

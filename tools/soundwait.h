#pragma once

#include "workbench/document.h"

namespace vox::tool {

// Waits until everything queued has been heard; the exit status to end with. Without a usable
// device every sound is dropped: says so once, stops waiting, and fails, since nothing was
// played. seconds is how long the queued sounds last together, when one of them may be longer
// than a talk entry.
int WaitForSounds(const CVoxbenchDoc& doc, int queued, double seconds = 0);

}  // namespace vox::tool

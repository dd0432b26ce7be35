#pragma once

#include "audio/speechcodec.h"
#include "talkdata/verify.h"

namespace vox {

class CVoxbenchDoc;

// The decoder that verifying a database needs, as the workbench decodes an entry: into
// decodedSize (at most what the codec can produce) + 500 bytes.
EntryDecodeCheck MakeEntryDecodeCheck(SpeechCodec& codec);
EntryDecodeCheck MakeEntryDecodeCheck(CVoxbenchDoc& doc);

}  // namespace vox

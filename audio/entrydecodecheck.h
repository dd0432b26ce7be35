#pragma once

#include "audio/speechcodec.h"
#include "talkdata/verify.h"

namespace vox {

// The decoder that verifying a database needs, as the workbench decodes an entry (into a
// buffer of SpeechCodec::DecodeBufferSize). An entry whose decodedSize claims more sound than
// its coded bytes can give does not pass either.
EntryDecodeCheck MakeEntryDecodeCheck(SpeechCodec& codec);

}  // namespace vox

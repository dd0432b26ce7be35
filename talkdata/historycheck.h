#pragma once

#include <functional>
#include <string>

#include "talkdata/bytes.h"
#include "talkdata/verify.h"

namespace vox {

// The history's own checks (talkhistory.h): every line whole and of the format (a line cut
// short by a kill, or malformed, is named with its number: readers skip it), every offset it
// names a whole entry behind the talk file's directory, and every such entry decoding (each
// distinct entry once, when decode is given). Each problem goes to add.
void VerifyHistory(ByteSpan history, ByteSpan talk, const std::string& historyName,
                   const EntryDecodeCheck& decode,
                   const std::function<void(const VerifyFinding&)>& add);

}  // namespace vox

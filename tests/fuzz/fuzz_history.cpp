// The history file (talkhistory.h): any bytes parse without harm, every line read writes back
// as one line that reads back the same, and a parse never counts more lines than the bytes hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "talkdata/talkhistory.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vox::fuzz::Require;
    const vox::History history = vox::ParseHistory(vox::ByteSpan(data, size));
    size_t newlines = 0;
    for (size_t i = 0; i < size; ++i) newlines += data[i] == '\n';
    Require(history.lines.size() + history.bad.size() <= newlines + 1, "no line made up");
    std::string written;
    for (const vox::HistoryLine& line : history.lines) written += vox::HistoryLineText(line);
    const vox::History again = vox::ParseHistory(
        vox::ByteSpan(reinterpret_cast<const uint8_t*>(written.data()), written.size()));
    Require(again.bad.empty() && again.lines.size() == history.lines.size(),
            "every line read writes back as one good line");
    std::string rewritten;
    for (const vox::HistoryLine& line : again.lines) rewritten += vox::HistoryLineText(line);
    Require(rewritten == written, "parse, write, parse, write: equal");
    return 0;
}

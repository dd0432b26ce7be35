// Wave files: the reader over any bytes, and what it reads written and read again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/wavefile.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vox;
    using namespace vox::fuzz;
    const std::vector<uint8_t> untouched = {0xAB};
    std::vector<uint8_t> pcm = untouched;
    std::string why;
    if (!ReadWaveBytes(AsSpan(data, size), pcm, &why)) {
        Require(pcm == untouched && !why.empty(), "a refused file leaves the samples and says why");
        return 0;
    }
    Require(pcm.size() + 44 <= size + 8, "the samples come from the file, not beyond it");
    const std::vector<uint8_t> written =
        MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size()));
    Require(!written.empty(), "what was read can be written");
    std::vector<uint8_t> again;
    Require(ReadWaveBytes(written, again) && again == pcm, "a written wave reads back the same");
    Require(MakeWaveBytes(again.data(), static_cast<uint32_t>(again.size())) == written,
            "write, read, write: equal");
    return 0;
}

// The pack description: read any text; what was read writes to a text that reads back to the
// same description (read, write, read, write: equal), and the consistency check agrees on both.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/descriptioncheck.h"
#include "pack/descriptionreader.h"
#include "pack/descriptionwriter.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vox::pack;
    using vox::fuzz::Require;
    PackDescription description;
    DescriptionError error;
    if (!ReadDescription(vox::fuzz::AsSpan(data, size), description, error)) {
        Require(!error.message.empty(), "a refused description says why");
        return 0;
    }
    const std::string written = WriteDescription(description);
    const auto* bytes = reinterpret_cast<const uint8_t*>(written.data());
    PackDescription reread;
    DescriptionError rereadError;
    Require(ReadDescription(vox::fuzz::AsSpan(bytes, written.size()), reread, rereadError),
            "a written description reads back");
    Require(WriteDescription(reread) == written, "read, write, read, write: equal");
    DescriptionError checkError;
    DescriptionError recheckError;
    Require(CheckDescription(description, checkError) == CheckDescription(reread, recheckError),
            "the check agrees on a description and its written form");
    return 0;
}

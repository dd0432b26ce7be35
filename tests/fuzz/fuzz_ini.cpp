// The profile's INI text: parse, write, parse, write: equal; and any value survives its trip
// through the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "talkdata/iniprofile.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

// Never read (there is nothing at this path) and never written (read-only, never flushed).
constexpr const char* kNoFile = "/nonexistent/voxbench-fuzz/voxbench.ini";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vox::IniProfile;
    using vox::fuzz::Require;
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniProfile profile(kNoFile, true);
    profile.ParseText(text);
    const std::string written = profile.ToText();
    IniProfile reread(kNoFile, true);
    reread.ParseText(written);
    Require(reread.ToText() == written, "parse, write, parse, write: equal");

    // Values are what a person types (eval names, paths): any bytes must come back.
    profile.WriteString("EvalNames", "7", text);
    IniProfile stored(kNoFile, true);
    stored.ParseText(profile.ToText());
    Require(stored.GetString("EvalNames", "7", "") == text, "a value comes back as written");
    return 0;
}

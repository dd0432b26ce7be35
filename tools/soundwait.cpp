#include "tools/soundwait.h"

#include <algorithm>
#include <chrono>

#include "tools/toolcontext.h"

namespace vox::tool {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

int WaitForSounds(const CVoxbenchDoc& doc, int queued, double seconds) {
    const SoundPlayer& player = doc.GetSoundPlayer();
    // An entry lasts at most about 5 s; the first sound also waits for the device to open.
    const auto playing =
        std::max(milliseconds(6000) * queued, milliseconds(static_cast<long>(seconds * 1500)));
    const auto deadline = steady_clock::now() + playing + milliseconds(10000);
    while (!player.WaitUntilIdle(milliseconds(100))) {
        if (player.GetStats().dropped > 0) break;
        if (steady_clock::now() > deadline) {
            PrintError("warning: the sound device did not finish playing in time");
            return kExitOk;
        }
    }
    if (player.GetStats().dropped > 0) {
        PrintError("no usable sound device; nothing was heard");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace vox::tool

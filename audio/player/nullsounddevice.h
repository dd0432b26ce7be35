#pragma once

#include <memory>

#include "audio/player/nullsoundcontrol.h"
#include "audio/player/sounddevice.h"

namespace vox {

// A sound device for machines without sound: each sound "plays" for its real duration (its
// byte count at 16000 bytes per second), so timing and order stay observable. What it plays,
// and every failure or hang it is told to stage, goes through its NullSoundControl.
class NullSoundDevice : public SoundDevice {
  public:
    explicit NullSoundDevice(std::shared_ptr<NullSoundControl> control);
    ~NullSoundDevice() override;

    int Open() override;
    int CreateBuffer(uint32_t size, std::unique_ptr<SoundBuffer>& buffer) override;

  private:
    std::shared_ptr<NullSoundControl> control_;
    bool open_ = false;
};

// A factory whose devices all report to control.
SoundDeviceFactory MakeNullSoundFactory(std::shared_ptr<NullSoundControl> control);

}  // namespace vox

#include "pack/waveconversion.h"

#include "audio/soundfilereader.h"

namespace vox::pack {

bool ConvertToSpeechPcm(ByteSpan file, uint32_t maxPcmBytes, std::vector<uint8_t>& pcm,
                        std::string& note, std::string& why) {
    SoundFileOptions options;
    options.maxPcmBytes = maxPcmBytes;
    SpeechPcm result = ReadSpeechPcm(file, options);
    if (!result.ok) {
        why = result.why;
        return false;
    }
    pcm = std::move(result.pcm);
    note = result.converted ? ConversionMessage(result) + " to 8000 Hz mono 16-bit" : std::string();
    return true;
}

}  // namespace vox::pack

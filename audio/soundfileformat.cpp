#include "audio/soundfileformat.h"

#include <sndfile.h>

namespace vox {
namespace {

std::string ChannelsName(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return std::to_string(channels) + " channels";
}

// Waves of every kind go without a name: the rate and the sample format say it all.
std::string ContainerName(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_W64:
        case SF_FORMAT_RF64:
        case SF_FORMAT_MPEG:
            return "";  // its encoding is named instead
        case SF_FORMAT_AIFF:
            return "AIFF";
        case SF_FORMAT_AU:
            return "AU";
        case SF_FORMAT_CAF:
            return "CAF";
        case SF_FORMAT_FLAC:
            return "FLAC";
        case SF_FORMAT_OGG:
            return "Ogg";
        default: {
            SF_FORMAT_INFO info{};
            info.format = format & SF_FORMAT_TYPEMASK;
            if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 &&
                info.name != nullptr)
                return info.name;
            return "sound file";
        }
    }
}

std::string EncodingName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_DPCM_8:
            return "8-bit";
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_DPCM_16:
        case SF_FORMAT_ALAC_16:
            return "16-bit";
        case SF_FORMAT_ALAC_20:
            return "20-bit";
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_ALAC_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32:
            return "32-bit";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        case SF_FORMAT_DOUBLE:
            return "64-bit float";
        case SF_FORMAT_ULAW:
            return "mu-law";
        case SF_FORMAT_ALAW:
            return "A-law";
        case SF_FORMAT_IMA_ADPCM:
            return "IMA ADPCM";
        case SF_FORMAT_MS_ADPCM:
            return "MS ADPCM";
        case SF_FORMAT_GSM610:
            return "GSM 6.10";
        case SF_FORMAT_VORBIS:
            return "Vorbis";
        case SF_FORMAT_OPUS:
            return "Opus";
        case SF_FORMAT_MPEG_LAYER_I:
            return "MPEG layer I";
        case SF_FORMAT_MPEG_LAYER_II:
            return "MP2";
        case SF_FORMAT_MPEG_LAYER_III:
            return "MP3";
        default:
            return "compressed";
    }
}

}  // namespace

std::string DescribeSoundFormat(int format, int rate, int channels) {
    std::string text = std::to_string(rate) + " Hz " + ChannelsName(channels) + " ";
    const std::string container = ContainerName(format);
    if (!container.empty()) text += container + " ";
    text += EncodingName(format);
    // The one wave that would read exactly like the speech format: its format tag is what
    // the speech wave reader refused.
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX &&
        IsSpeechWaveFormat(SF_FORMAT_WAV | (format & SF_FORMAT_SUBMASK), rate, channels))
        text += " WAVE_FORMAT_EXTENSIBLE";
    return text;
}

bool HasMoreThan16Bits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_DWVW_24:
        case SF_FORMAT_DWVW_N:
        case SF_FORMAT_ALAC_20:
        case SF_FORMAT_ALAC_24:
        case SF_FORMAT_ALAC_32:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
        case SF_FORMAT_MPEG_LAYER_I:
        case SF_FORMAT_MPEG_LAYER_II:
        case SF_FORMAT_MPEG_LAYER_III:
            return true;
        default:
            return false;
    }
}

bool IsSpeechWaveFormat(int format, int rate, int channels) {
    return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
           (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && rate == 8000 && channels == 1;
}

}  // namespace vox

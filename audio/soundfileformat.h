#pragma once

// What libsndfile says a file holds (its SF_INFO format, rate and channels), put into words for
// the user and into the few decisions the reader takes from it.

#include <string>

namespace vox {

// "48000 Hz stereo 24-bit", "44100 Hz mono FLAC 24-bit", "44100 Hz stereo Ogg Vorbis",
// "8000 Hz mono 16-bit WAVE_FORMAT_EXTENSIBLE". A wave names no container; other containers are
// named so that no description reads like the speech format itself.
std::string DescribeSoundFormat(int format, int rate, int channels);

// Samples finer than 16 bits (24-bit, 32-bit, float, lossy codecs that decode to float): they
// are dithered when brought to 16 bits. 16 bits and coarser are only rounded.
bool HasMoreThan16Bits(int format);

// A plain RIFF wave in 8000 Hz mono 16-bit PCM: the speech format. When the speech wave reader
// refuses such a file, the file is damaged, and libsndfile's leniency must not let it in.
bool IsSpeechWaveFormat(int format, int rate, int channels);

}  // namespace vox

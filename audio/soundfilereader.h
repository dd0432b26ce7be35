#pragma once

// Takes arrive from a studio as 44.1 or 48 kHz, 24-bit or float, often stereo, as WAV (often
// WAVE_FORMAT_EXTENSIBLE), FLAC or Ogg; a talk entry holds 8000 Hz mono 16-bit only. This is
// meant as the one way in for a recording, so that every command taking one converts, describes
// and refuses alike.
//
// A wave already in the speech format is taken byte for byte as the speech wave reader takes it,
// never touched by a filter: databases unpacked and packed again must keep their samples.
// Anything else goes through libsndfile: channels averaged, rate converted by libsoxr at high
// quality, and sources deeper than 16 bits TPDF-dithered from a fixed seed, so the same file
// always gives the same samples.
//
// Bytes in, so that files, tests and the fuzzer share one path. Memory stays bounded by the
// limit whatever a header claims: samples are converted block by block and only what fits the
// limit is kept.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/speechcodec.h"
#include "talkdata/bytes.h"

namespace vox {

enum class SoundFileProblem {
    kNone,
    kNotReadable,     // neither a speech wave nor anything libsndfile reads, or unreadable path
    kUnusableFormat,  // read, but with a channel count or rate no take has
    kDamaged,         // a speech wave that is cut short, samples that are not numbers, ...
    kNoSamples,
    kTooLong,  // longer than the limit; reading again with keepFirstPart takes the start
};

struct SoundFileOptions {
    uint32_t maxPcmBytes = SpeechCodec::kMaxPcmBytes;
    // Keep the first maxPcmBytes of a longer recording instead of refusing it: the cut the user
    // agreed to after seeing the lengths.
    bool keepFirstPart = false;
};

struct SpeechPcm {
    bool ok = false;
    // 8000 Hz mono 16-bit little-endian; empty on failure. A speech wave's data chunk exactly as
    // it stands (even empty, or of odd length), else whole samples.
    std::vector<uint8_t> pcm;
    bool converted = false;  // false: the file was a speech wave, taken as it is
    bool trimmed = false;    // keepFirstPart cut it
    // What the file held, for ConversionMessage: "48000 Hz stereo 24-bit",
    // "44100 Hz mono FLAC 24-bit", "44100 Hz stereo Ogg Vorbis". Set whenever the format is known.
    std::string source;
    double sourceSeconds = 0;  // the whole recording, before any cut; 0 when unknown
    SoundFileProblem problem = SoundFileProblem::kNone;
    std::string why;  // one line for below "Bad wave file", e.g. "6.00 s long; ..."
};

// Files larger than this are refused before they are read: no single take comes near it.
inline constexpr uint64_t kMaxSoundFileBytes = 256u << 20;
// Recordings longer than this are refused, even when only their start is wanted: from the
// header before a sample is decoded, or, when the header does not tell, as soon as decoding
// passes it.
inline constexpr double kMaxSoundSeconds = 600;

SpeechPcm ReadSpeechPcm(ByteSpan file, const SoundFileOptions& options = {});

// The same for a file on disk. A FIFO, device or directory is refused without being read, and
// so is a file larger than kMaxSoundFileBytes.
SpeechPcm ReadSpeechPcmFile(const std::string& path, const SoundFileOptions& options = {});

// "converted from 48000 Hz stereo 24-bit"; empty when nothing was converted.
std::string ConversionMessage(const SpeechPcm& result);

// A length as the reader's messages give it, "5.06 s": rounded up for a take's own length and
// down for what can be stored, so that a take one sample too long never reads as fitting.
std::string FormatSeconds(double seconds, bool roundUp);

}  // namespace vox

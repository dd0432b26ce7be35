#include "audio/wavefile.h"

#include <cstring>
#include <limits>

#include "audio/riff.h"
#include "talkdata/safefile.h"
#include "talkdata/wholefile.h"

namespace vox {

const uint8_t SpeechWaveFormat[18] = {
    0x01, 0x00,              // format tag: PCM
    0x01, 0x00,              // channels
    0x40, 0x1F, 0x00, 0x00,  // samples per second: 8000
    0x80, 0x3E, 0x00, 0x00,  // average bytes per second: 16000
    0x02, 0x00,              // block align
    0x10, 0x00,              // bits per sample
    0x00, 0x00,              // extra size
};

namespace {

constexpr uint32_t kWaveId = MakeFourCC("WAVE");
constexpr uint32_t kFmtId = MakeFourCC("fmt ");
constexpr uint32_t kDataId = MakeFourCC("data");
// Format tag, channels, rate, byte rate and block align: the fields a reader must match. Bits
// per sample is not among them, and files that state another value there are accepted.
constexpr size_t kComparedFormatBytes = 14;
// "WAVE", the fmt chunk with its header, the data chunk header.
constexpr uint32_t kWaveOverhead = 4 + 8 + sizeof SpeechWaveFormat + 8;

bool Fail(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

}  // namespace

std::vector<uint8_t> MakeWaveBytes(const uint8_t* pcm, uint32_t size) {
    if (pcm == nullptr && size != 0) return {};
    // The RIFF size counts everything after its own field, the pad byte included.
    if (size > std::numeric_limits<uint32_t>::max() - kWaveOverhead - 1) return {};
    RiffWriter writer;
    RiffChunk riff;
    RiffChunk fmt;
    RiffChunk data;
    writer.CreateChunk(riff, kRiffId, kWaveId);
    writer.CreateChunk(fmt, kFmtId);
    writer.Write(SpeechWaveFormat, sizeof SpeechWaveFormat);
    writer.Ascend(fmt);
    writer.CreateChunk(data, kDataId);
    writer.Write(pcm, size);
    writer.Ascend(data);
    writer.Ascend(riff);
    return writer.TakeBytes();
}

bool WriteWave(const std::string& path, const uint8_t* pcm, uint32_t size, std::string* why) {
    const std::vector<uint8_t> bytes = MakeWaveBytes(pcm, size);
    if (bytes.empty()) return Fail(why, "no sound to write, or too much for a wave file");
    return WriteFileSafely(path, bytes, why);
}

bool ReadWaveBytes(ByteSpan file, std::vector<uint8_t>& pcm, std::string* why) {
    RiffReader reader(file);
    RiffChunk riff;
    RiffChunk fmt;
    RiffChunk data;
    if (!reader.Descend(riff, nullptr, kRiffId, kWaveId)) {
        return Fail(why, "not a RIFF WAVE file");
    }
    if (!reader.Descend(fmt, &riff, kFmtId)) return Fail(why, "no \"fmt \" chunk");
    if (fmt.size < kComparedFormatBytes) return Fail(why, "\"fmt \" chunk too short");
    uint8_t format[kComparedFormatBytes];
    if (reader.Read(format, sizeof format) != sizeof format) {
        return Fail(why, "\"fmt \" chunk cut short");
    }
    if (std::memcmp(format, SpeechWaveFormat, sizeof format) != 0) {
        return Fail(why, "not PCM, mono, 8000 samples per second, 16 bits");
    }
    reader.Ascend(fmt);
    if (!reader.Descend(data, &riff, kDataId)) {
        return Fail(why, "no \"data\" chunk after the \"fmt \" chunk");
    }
    // Checked before allocating, so a forged size cannot ask for gigabytes.
    if (data.size > reader.Remaining()) return Fail(why, "\"data\" chunk cut short");
    std::vector<uint8_t> samples(data.size);
    reader.Read(samples.data(), samples.size());
    pcm = std::move(samples);
    return true;
}

bool ReadWave(const std::string& path, std::vector<uint8_t>& pcm, std::string* why) {
    std::vector<uint8_t> file;
    std::string error;
    // Only a regular file: a FIFO would make the reader wait for a writer for ever.
    if (!ReadWholeFile(path, file, error)) return Fail(why, path + ": " + error);
    return ReadWaveBytes(file, pcm, why);
}

}  // namespace vox

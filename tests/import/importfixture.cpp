#include "tests/import/importfixture.h"

#include <cmath>

#include "audio/player/nullsounddevice.h"
#include "audio/speechcodec.h"
#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"

namespace vox::test {

std::vector<uint8_t> MakeSpeechLikePcm(size_t bytes, double baseHz) {
    std::vector<uint8_t> pcm(bytes);
    const double pi = std::acos(-1.0);
    double phase = 0;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const double t = static_cast<double>(i / 2) / 8000.0;
        const double hz = baseHz * (1.0 + 0.5 * std::sin(2 * pi * 3.0 * t));
        phase += 2 * pi * hz / 8000.0;
        const double envelope = 0.6 + 0.4 * std::sin(2 * pi * 5.0 * t);
        const auto sample = static_cast<int16_t>(9000.0 * envelope * std::sin(phase));
        WriteU16(pcm.data() + i, static_cast<uint16_t>(sample));
    }
    return pcm;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pcm) {
    SpeechCodec codec;
    EXPECT_TRUE(codec.Init());
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    EXPECT_TRUE(codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen));
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

std::vector<uint8_t> UndecodableFrame() { return std::vector<uint8_t>(20, 0xFF); }

ImportFixture::~ImportFixture() { faults::DisarmAll(); }

void ImportFixture::Open(const DatabaseBuilder& db, const std::string& talkName) {
    OpenWithTalk(db, db.TalkBytes(), talkName);
}

void ImportFixture::OpenWithTalk(const DatabaseBuilder& tables, const std::vector<uint8_t>& talk,
                                 const std::string& talkName) {
    talk_ = tables.WriteTo(dir_.Path(), talkName);
    WriteFileBytes(talk_, talk);
    doc_ = std::make_unique<CVoxbenchDoc>(
        profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    doc_->SetPrompter(&prompter_);
    doc_->AddView(&view_);
    ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    view_.updates = 0;
}

std::string ImportFixture::WriteWaveFile(const std::string& name, const std::vector<uint8_t>& pcm) {
    const std::string path = dir_.File(name);
    WriteFileBytes(path, MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    return path;
}

}  // namespace vox::test

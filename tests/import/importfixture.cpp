#include "tests/import/importfixture.h"

#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"

namespace vox::test {

ImportFixture::~ImportFixture() { faults::DisarmAll(); }

void ImportFixture::Open(const DatabaseBuilder& db, const std::string& talkName) {
    talk_ = db.WriteTo(dir_.Path(), talkName);
    doc_ = std::make_unique<CVoxbenchDoc>(
        profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    doc_->SetPrompter(&prompter_);
    doc_->AddView(&view_);
    ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    view_.updates = 0;
}

std::string ImportFixture::WriteWaveFile(const std::string& name, const Bytes& pcm) {
    const std::string path = dir_.File(name);
    WriteFileBytes(path, MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    return path;
}

}  // namespace vox::test

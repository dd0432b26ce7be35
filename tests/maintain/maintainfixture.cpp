#include "tests/maintain/maintainfixture.h"

#include <cmath>

#include "audio/player/nullsounddevice.h"
#include "audio/speechcodec.h"
#include "talkdata/faultinjection.h"

namespace vox::test {

DatabaseBuilder SampleDatabase() {
    DatabaseBuilder db;
    for (int i = 0; i < 6; ++i) {
        const Bytes pcm = SpeechLikePcm(3200 + 640 * static_cast<size_t>(i), 200.0 + 70.0 * i);
        db.AddEntry(static_cast<uint32_t>(pcm.size()), CodedPcm(pcm));
    }
    db.AddSharedSlot(2);  // 6
    db.AddEmptySlot();    // 7
    db.AddFragment({{0, 0}, {3, 1}});
    db.AddFragment({{2, 2}});
    db.AddFragment({{0, 3}, {5, 4}});
    db.AddFragment({{1, 5}});
    db.AddFragment({{2, 6}});
    db.AddEval({{1, 0}, {4, 2}});
    db.AddEval({{0, 3}});
    db.AddComm({{0, -1, 3, 2}});
    return db;
}

uint32_t SlotValue(const Bytes& talk, int voxIndex) {
    const size_t at = 12 + 4 * static_cast<size_t>(voxIndex);
    return talk[at] | (talk[at + 1] << 8) | (talk[at + 2] << 16) |
           (static_cast<uint32_t>(talk[at + 3]) << 24);
}

uint32_t EntryLength(const Bytes& talk, int voxIndex) {
    const uint32_t offset = SlotValue(talk, voxIndex);
    const uint32_t coded = talk[offset + 4] | (talk[offset + 5] << 8) | (talk[offset + 6] << 16) |
                           (static_cast<uint32_t>(talk[offset + 7]) << 24);
    return 8 + coded;
}

DocumentFixture::~DocumentFixture() {
    doc_.reset();
    faults::DisarmAll();
}

void DocumentFixture::Write(const DatabaseBuilder& db) { talk_ = db.WriteTo(dir_.Path()); }

std::unique_ptr<CVoxbenchDoc> DocumentFixture::MakeDocument() {
    auto doc = std::make_unique<CVoxbenchDoc>(
        profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    doc->SetPrompter(&prompter_);
    return doc;
}

void DocumentFixture::Open(CVoxbenchDoc::Access access) {
    doc_ = MakeDocument();
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, access)) << doc_->GetOpenError();
}

}  // namespace vox::test

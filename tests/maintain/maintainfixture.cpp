#include "tests/maintain/maintainfixture.h"

#include "audio/player/nullsounddevice.h"
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

Bytes EntryOf(const Bytes& talk, int voxIndex) {
    const uint32_t at = SlotValue(talk, voxIndex);
    return Bytes(talk.begin() + at, talk.begin() + at + 8 + ReadU32(talk.data() + at + 4));
}

DocumentFixture::~DocumentFixture() {
    doc_.reset();
    faults::DisarmAll();
}

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

// The form's navigation: the + and - buttons and the number fields, with their guards, caps and
// auto play.
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "ui/cvoxbenchview.h"
#include "workbench/document.h"

namespace vox {

using namespace form;

namespace {
constexpr const char* kNoFile = "No Voxfile loaded!";
constexpr const char* kDamaged =
    "The file was changed by another program and can no longer be read. Close the database "
    "and open it again.";
}  // namespace

void CVoxbenchView::ConnectHandlers() {
    // textEdited fires for typing only. Writes from code skip the handlers: each would only
    // recompute what its writer has just set.
    connect(Edit(kFragment), &QLineEdit::textEdited, this, [this] { OnFragmentTyped(); });
    connect(Edit(kVoice), &QLineEdit::textEdited, this, [this] { OnVoiceTyped(); });
    connect(Edit(kCommIndex), &QLineEdit::textEdited, this, [this] { OnCommIndexTyped(); });
    connect(Edit(kCommVoice), &QLineEdit::textEdited, this, [this] { OnCommVoiceTyped(); });
    const std::pair<int, int> steps[] = {
        {kFragPlus, 1}, {kFragMinus, -1}, {kVoicePlus, 1},     {kVoiceMinus, -1},
        {kCommPlus, 1}, {kCommMinus, -1}, {kCommVoicePlus, 1}, {kCommVoiceMinus, -1}};
    for (const auto& [id, delta] : steps) {
        QPushButton* button = Button(id);
        if (!button) continue;
        connect(button, &QPushButton::clicked, this, [this, id = id, delta = delta] {
            if (id == kFragPlus || id == kFragMinus)
                OnFragmentStep(delta);
            else if (id == kVoicePlus || id == kVoiceMinus)
                OnVoiceStep(delta);
            else if (id == kCommPlus || id == kCommMinus)
                OnCommStep(delta);
            else
                OnCommVoiceStep(delta);
        });
    }
    ConnectSlotHandlers();
    ConnectActionButtons();
}

void CVoxbenchView::ConnectSlotHandlers() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        connect(Edit(kElemIndBase + slot), &QLineEdit::textEdited, this,
                [this, slot] { OnElementTyped(slot); });
        connect(Button(kElemPlusBase + slot), &QPushButton::clicked, this,
                [this, slot] { OnElementStep(slot, 1); });
        connect(Button(kElemMinusBase + slot), &QPushButton::clicked, this,
                [this, slot] { OnElementStep(slot, -1); });
        connect(Button(kEvalButtonBase + slot), &QPushButton::clicked, this,
                [this, slot] { OnSlotEvalButton(slot); });
    }
}

bool CVoxbenchView::Guard() {
    if (fragCount_ != 0) return true;
    doc_.GetPrompter().ShowMessage(kNoFile);
    return false;
}

void CVoxbenchView::TellDamage() {
    const std::string damaged = doc_.DamagedFileName();
    if (damaged.empty()) {
        // Opening the database again clears the damage; the next damage is news again.
        damageTold_ = false;
        return;
    }
    if (damageTold_) return;
    damageTold_ = true;  // before the message: its event loop may run another refresh
    doc_.GetPrompter().ShowMessage(damaged + "\n" + kDamaged);
}

void CVoxbenchView::AutoPlayOne() {
    if (autoPlay_) PlayFragment();
}

void CVoxbenchView::AutoPlaySequence() {
    if (autoPlay_) PlayCommandSequence();
}

// --- fragment half ---------------------------------------------------------------------------

void CVoxbenchView::OnFragmentTyped() {
    if (!Guard()) return;
    RefreshFragment(ReadField(kFragment));
}

void CVoxbenchView::OnFragmentStep(int delta) {
    if (!Guard()) return;
    if (delta < 0 && currentFrag_ > 0) --currentFrag_;
    if (delta > 0 && currentFrag_ < fragCount_ - 1) ++currentFrag_;
    RefreshFragment(currentFrag_);
    AutoPlayOne();
}

void CVoxbenchView::OnVoiceTyped() {
    if (!Guard()) return;
    fragVoice_ = ReadField(kVoice);
    ListRecord record;
    if (!doc_.GetFragRecord(currentFrag_, record)) return;
    if (fragVoice_ > kMaxVoice) {
        fragVoice_ = kMaxVoice;
        SetField(kVoice, fragVoice_);
    }
    RefreshFragment(currentFrag_);
}

void CVoxbenchView::OnVoiceStep(int delta) {
    if (!Guard()) return;
    ListRecord record;
    if (!doc_.GetFragRecord(currentFrag_, record)) return;
    fragVoice_ = std::clamp(fragVoice_ + delta, 0, kMaxVoice);
    SetField(kVoice, fragVoice_);
    RefreshFragment(currentFrag_);
    AutoPlayOne();
}

// --- comm half -------------------------------------------------------------------------------

void CVoxbenchView::OnCommIndexTyped() {
    currentComm_ = static_cast<int16_t>(ReadField(kCommIndex));
    CommRecord record;
    if (doc_.GetCommRecord(currentComm_, record)) RefreshComm(currentComm_);
}

void CVoxbenchView::OnCommStep(int delta) {
    if (!Guard()) return;
    int comm = currentComm_ + delta;
    if (delta > 0 && comm >= commCount_) comm = commCount_ - 1;
    if (comm < 0) comm = 0;
    currentComm_ = static_cast<int16_t>(comm);
    SetField(kCommIndex, currentComm_);
    RefreshComm(currentComm_);
    AutoPlaySequence();
}

void CVoxbenchView::OnCommVoiceTyped() {
    commVoice_ = ReadField(kCommVoice);
    if (commVoice_ > kMaxVoice) {
        commVoice_ = kMaxVoice;
        SetField(kCommVoice, commVoice_);
    }
    RebuildSequenceText();
}

void CVoxbenchView::OnCommVoiceStep(int delta) {
    if (!Guard()) return;
    commVoice_ = std::clamp(commVoice_ + delta, 0, kMaxVoice);
    SetField(kCommVoice, commVoice_);
    RebuildSequenceText();
    AutoPlaySequence();
}

// --- slots -----------------------------------------------------------------------------------

// A slot holds an eval only while the current comm shows it and its entry is negative. Reading
// entry i of a comm with fewer elements would read past the comm's list, so hidden slots count
// as empty; an entry of 0 is fragment 0 here as on the form.
int CVoxbenchView::SlotEval(int slot) const {
    CommRecord record;
    if (!doc_.GetCommRecord(currentComm_, record)) return -1;
    if (slot >= ShownSlotCount(record.elements)) return -1;
    const int16_t entry = doc_.GetCommEntry(record, slot);
    return entry < 0 ? -entry : -1;
}

void CVoxbenchView::OnElementTyped(int slot) {
    const int element = ReadField(kElemIndBase + slot);
    const int eval = SlotEval(slot);
    ListRecord record;
    if (eval < 0 || !doc_.GetEvalRecord(eval, record)) return;
    SetField(kFragBase + slot, doc_.GetEvalFrag(record, element));
    RebuildSequenceText();
}

void CVoxbenchView::OnElementStep(int slot, int delta) {
    if (!Guard()) return;
    const int element = ReadField(kElemIndBase + slot) + delta;
    if (element < 0) return;
    CommRecord comm;
    if (doc_.GetCommRecord(currentComm_, comm)) {
        const int eval = SlotEval(slot);
        ListRecord record;
        if (eval < 0 || !doc_.GetEvalRecord(eval, record) || element >= record.count) return;
        SetField(kFragBase + slot, doc_.GetEvalFrag(record, element));
        SetField(kElemIndBase + slot, element);
        RebuildSequenceText();
    }
    AutoPlaySequence();
}

}  // namespace vox

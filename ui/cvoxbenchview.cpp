#include "ui/cvoxbenchview.h"

#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

#include "lookup/lenientnumber.h"
#include "ui/templates/dialogbuilder.h"
#include "ui/waveformview.h"
#include "workbench/document.h"

namespace vox {

using namespace form;

CVoxbenchView::CVoxbenchView(CVoxbenchDoc& doc, const DialogTemplateSet& templates, QWidget* parent)
    : QWidget(parent), doc_(doc), longTask_(this) {
    setObjectName("voxbenchView");
    BuildForm(templates);
    if (ok_) ConnectHandlers();
    doc_.AddView(this);
    TellDroppedSounds();
}

CVoxbenchView::~CVoxbenchView() {
    doc_.SetSoundDropHook({});
    doc_.RemoveView(this);
}

// The device opens on the player's thread, after Play has returned; its failure comes back to
// this thread as a queued call, so that a silent Play still says why.
void CVoxbenchView::TellDroppedSounds() {
    doc_.SetSoundDropHook([this](const std::string& why) {
        QMetaObject::invokeMethod(
            this, [this, why] { doc_.GetPrompter().ShowStatus("No sound device: " + why); },
            Qt::QueuedConnection);
    });
}

void CVoxbenchView::BuildForm(const DialogTemplateSet& templates) {
    const DialogTemplate* dialog = templates.Find(kTemplate);
    if (!dialog) return;
    const DialogUnits units = DialogUnits::ForWidget(this);
    controls_ = BuildDialogControls(this, *dialog, units);
    setFont(units.DialogFont());
    setFixedSize(units.Size(dialog->width, dialog->height));
    // The sound of the shown fragment, in the form's one free corner: every specified control
    // keeps its place.
    waveform_ = new WaveformView(this);
    waveform_->setGeometry(units.Rect(7, 277, 90, 48));
    phraseEdit_ = qobject_cast<QPlainTextEdit*>(controls_[kPhrase]);
    sequenceEdit_ = qobject_cast<QPlainTextEdit*>(controls_[kSequenceText]);
    if (sequenceEdit_) sequenceMarks_ = new SequencePhraseMarks(sequenceEdit_);
    // Every control the form reads or writes must be there with the kind it expects.
    ok_ = phraseEdit_ && sequenceEdit_;
    for (int id : {kFragment, kFragCount, kVoiceCount, kVoice, kVoxIndex, kVoxSize1, kVoxSize2,
                   kCommIndex, kCommCount, kEvalCount, kPriority, kPosition, kBullseye, kElements,
                   kEvals, kWarp, kCommVoice, kCommName}) {
        ok_ = ok_ && Edit(id);
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ok_ = ok_ && Edit(kNumberBase + slot) && Edit(kElemIndBase + slot) &&
              Edit(kFragBase + slot) && Button(kEvalButtonBase + slot) &&
              Button(kElemPlusBase + slot) && Button(kElemMinusBase + slot);
    }
}

// --- controls --------------------------------------------------------------------------------

QLineEdit* CVoxbenchView::Edit(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : qobject_cast<QLineEdit*>(it->second);
}

QPushButton* CVoxbenchView::Button(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : qobject_cast<QPushButton*>(it->second);
}

void CVoxbenchView::SetField(int id, const QString& text) {
    QLineEdit* edit = Edit(id);
    // Rewriting the same text would move the caret of a field that is being typed into.
    if (edit && edit->text() != text) edit->setText(text);
}

void CVoxbenchView::SetField(int id, long long value) { SetField(id, QString::number(value)); }

int CVoxbenchView::ReadField(int id) const {
    const QLineEdit* edit = Edit(id);
    return edit ? ParseLenientInt(edit->text().toStdString()) : 0;
}

// --- refresh ---------------------------------------------------------------------------------

void CVoxbenchView::OnUpdate() {
    if (!ok_) return;
    fragCount_ = doc_.GetFragCount();
    commCount_ = doc_.GetCommCount();
    evalCount_ = doc_.GetEvalCount();
    RefreshFragment(currentFrag_);
    RefreshComm(currentComm_);
}

void CVoxbenchView::RefreshFragment(int fragment) {
    currentFrag_ = fragment;
    // What the lookups do not find is shown empty: values kept from another fragment, or from
    // the database open before, would pass for this one's.
    ListRecord record;
    fragFound_ = doc_.GetFragRecord(currentFrag_, record);
    entryFound_ = false;
    if (fragFound_) {
        voiceCount_ = record.count;
        voxIndex_ = doc_.FindVoxIndex(record, fragVoice_);
        VoxEntry entry;
        entryFound_ = doc_.GetVoxEntry(voxIndex_, entry);
        if (entryFound_) {
            voxSize1_ = static_cast<int>(entry.codedSize);
            voxSize2_ = static_cast<int>(entry.decodedSize);
            if (waveform_) waveform_->ShowRecording(entry);
        }
    }
    if (!entryFound_ && waveform_) waveform_->Clear();
    phrase_ = fragFound_ ? doc_.GetPhrase(currentFrag_, fragVoice_) : std::string();
    WriteState();
    TellDamage();
}

void CVoxbenchView::RefreshComm(int comm) {
    currentComm_ = static_cast<int16_t>(comm);
    CommRecord record;
    commFound_ = doc_.GetCommRecord(currentComm_, record);
    if (!commFound_) {
        for (int slot = 0; slot < kSlotCount; ++slot) ClearSlot(slot);
        elements_ = 0;
        ShowSequence(QString(), {});
    } else {
        warp_ = record.warp;
        priority_ = record.priority;
        position_ = record.position;
        bullseye_ = record.bullseye;
        elements_ = record.elements;
        evals_ = record.evals;
        QString sequence;
        std::vector<SequencePhrase> phrases;
        const int shown = ShownSlotCount(elements_);
        for (int slot = 0; slot < shown; ++slot) {
            const int16_t entry = doc_.GetCommEntry(record, slot);
            if (entry >= 0) {
                ShowFragmentSlot(slot, entry);
                phrases.push_back(AppendPhrase(sequence, entry, commVoice_));
            } else {
                ShowEvalSlot(slot, -entry);
                phrases.push_back(AppendPhrase(sequence, ReadField(kFragBase + slot), commVoice_));
                phrases.back().eval = -entry;
            }
            phrases.back().slot = slot;
        }
        for (int slot = shown; slot < kSlotCount; ++slot) ClearSlot(slot);
        ShowSequence(sequence, std::move(phrases));
    }
    SetField(kCommName,
             commFound_ ? QString::fromStdString(doc_.GetCommName(currentComm_)) : QString());
    WriteState();
    TellDamage();
}

int CVoxbenchView::ShownSlotCount(int elements) const { return std::min(elements, kSlotCount); }

void CVoxbenchView::ShowFragmentSlot(int slot, int fragment) {
    SetField(kNumberBase + slot, "1");
    SetField(kElemIndBase + slot, "");
    Edit(kElemIndBase + slot)->setEnabled(false);
    SetField(kFragBase + slot, fragment);
    Button(kEvalButtonBase + slot)->setText("");
    Button(kEvalButtonBase + slot)->setToolTip(QString());
    Button(kEvalButtonBase + slot)->setEnabled(false);
}

void CVoxbenchView::ShowEvalSlot(int slot, int eval) {
    std::string name;
    doc_.GetEvalName(eval, name);
    QPushButton* button = Button(kEvalButtonBase + slot);
    // A long name is cut at its end, where the eye expects it, and is whole in the tooltip.
    const QString whole = QString::fromStdString(name);
    QStyleOptionButton option;
    option.initFrom(button);
    const int room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const QString shown = button->fontMetrics().elidedText(whole, Qt::ElideRight, room);
    button->setText(shown);
    button->setToolTip(shown == whole ? QString() : whole);
    ListRecord record;
    if (!doc_.GetEvalRecord(eval, record)) {
        // An eval the table does not hold: the slot names it but offers nothing to choose, and
        // its Frag reads -1, so that a sequence stops here instead of playing fragment 0.
        SetField(kNumberBase + slot, "0");
        SetField(kElemIndBase + slot, "");
        Edit(kElemIndBase + slot)->setEnabled(false);
        SetField(kFragBase + slot, -1);
        button->setEnabled(false);
        return;
    }
    SetField(kNumberBase + slot, record.count);
    SetField(kElemIndBase + slot, "0");
    Edit(kElemIndBase + slot)->setEnabled(true);
    SetField(kFragBase + slot, doc_.GetEvalFrag(record, 0));
    button->setEnabled(true);
}

void CVoxbenchView::ClearSlot(int slot) {
    SetField(kNumberBase + slot, "");
    SetField(kElemIndBase + slot, "");
    SetField(kFragBase + slot, "");
    Edit(kElemIndBase + slot)->setEnabled(false);
    Button(kEvalButtonBase + slot)->setText("");
    Button(kEvalButtonBase + slot)->setToolTip(QString());
    Button(kEvalButtonBase + slot)->setEnabled(false);
}

SequencePhrase CVoxbenchView::AppendPhrase(QString& text, int fragment, int voice) const {
    text += ' ';
    SequencePhrase phrase;
    phrase.fragment = fragment;
    phrase.voice = voice;
    phrase.start = static_cast<int>(text.size());
    // Each phrase is converted on its own, so its place in the text is known exactly.
    const QString words = QString::fromStdString(doc_.GetPhrase(fragment, voice));
    phrase.length = static_cast<int>(words.size());
    text += words;
    return phrase;
}

void CVoxbenchView::RebuildSequenceText() {
    QString sequence;
    std::vector<SequencePhrase> phrases;
    const int shown = ShownSlotCount(elements_);
    for (int slot = 0; slot < shown; ++slot) {
        phrases.push_back(AppendPhrase(sequence, ReadField(kFragBase + slot), commVoice_));
        phrases.back().slot = slot;
        phrases.back().eval = SlotEval(slot);
    }
    ShowSequence(sequence, std::move(phrases));
    TellDamage();
}

void CVoxbenchView::ShowSequence(const QString& text, std::vector<SequencePhrase> phrases) {
    if (sequenceMarks_) sequenceMarks_->Show(text, std::move(phrases));
}

const std::vector<SequencePhrase>& CVoxbenchView::SequencePhrases() const {
    static const std::vector<SequencePhrase> none;
    return sequenceMarks_ ? sequenceMarks_->Phrases() : none;
}

std::vector<int> CVoxbenchView::SlotFragments() const {
    std::vector<int> fragments;
    const int shown = ShownSlotCount(elements_);
    for (int slot = 0; slot < shown; ++slot) fragments.push_back(ReadField(kFragBase + slot));
    return fragments;
}

// Fields are written without their change handlers: what a handler would recompute is what was
// just written.
void CVoxbenchView::WriteState() {
    const auto setFound = [this](int id, bool found, long long value) {
        if (found)
            SetField(id, value);
        else
            SetField(id, QString());
    };
    SetField(kFragment, currentFrag_);
    setFound(kVoiceCount, fragFound_, voiceCount_);
    SetField(kCommCount, commCount_);
    SetField(kFragCount, fragCount_);
    setFound(kVoxIndex, fragFound_, voxIndex_);
    setFound(kVoxSize1, entryFound_, voxSize1_);
    setFound(kVoxSize2, entryFound_, voxSize2_);
    SetField(kVoice, fragVoice_);
    SetField(kCommIndex, currentComm_);
    setFound(kPriority, commFound_, priority_);
    setFound(kPosition, commFound_, position_);
    setFound(kEvals, commFound_, evals_);
    setFound(kElements, commFound_, elements_);
    setFound(kBullseye, commFound_, bullseye_);
    setFound(kWarp, commFound_, warp_);
    SetField(kEvalCount, evalCount_);
    const QString phrase = QString::fromStdString(phrase_);
    if (phraseEdit_->toPlainText() != phrase) phraseEdit_->setPlainText(phrase);
    SetField(kCommVoice, commVoice_);
}

// The fields a person can type into, taken as the state (the user may have typed a number whose
// handler did not store it, for example while no file was loaded).
void CVoxbenchView::ReadFieldsIntoState() {
    currentFrag_ = ReadField(kFragment);
    fragVoice_ = ReadField(kVoice);
    currentComm_ = static_cast<int16_t>(ReadField(kCommIndex));
    commVoice_ = ReadField(kCommVoice);
}

void CVoxbenchView::SetAutoPlay(bool on) {
    if (autoPlay_ == on) return;
    autoPlay_ = on;
    emit AutoPlayChanged(on);
}

}  // namespace vox

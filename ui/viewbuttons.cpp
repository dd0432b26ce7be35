// The form's action buttons: play, save, export, import and the two editors.
#include <QPushButton>

#include "ui/cvoxbenchview.h"
#include "ui/exportflows.h"
#include "ui/importflows.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"

namespace vox {

using namespace form;

void CVoxbenchView::ConnectActionButtons() {
    const std::pair<int, void (CVoxbenchView::*)()> actions[] = {
        {kPlay, &CVoxbenchView::PlayFragment},
        {kPlaySequence, &CVoxbenchView::PlayCommandSequence},
        {kSave, &CVoxbenchView::SaveFragmentWave},
        {kSaveRange, &CVoxbenchView::SaveFragmentRange},
        {kReplace, &CVoxbenchView::ReplaceFromWave},
        {kAddNew, &CVoxbenchView::AddNewFromWave},
        {kAddVoice, &CVoxbenchView::AddVoiceFromWave},
        {kInfo, &CVoxbenchView::OnFragInfo},
    };
    for (const auto& [id, action] : actions) {
        if (QPushButton* button = Button(id)) {
            connect(button, &QPushButton::clicked, this,
                    [this, action = action] { (this->*action)(); });
        }
    }
    if (QPushButton* search = Button(kSearchPhrase)) {
        search->setEnabled(true);
        connect(search, &QPushButton::clicked, this, &CVoxbenchView::SearchPhraseRequested);
    }
}

void CVoxbenchView::GoToPhrase(int fragment, int voice) {
    if (!Guard()) return;
    fragVoice_ = voice;
    RefreshFragment(fragment);
    AutoPlayOne();
}

void CVoxbenchView::GoToComm(int comm) {
    if (!Guard()) return;
    RefreshComm(comm);
    AutoPlaySequence();
}

ProgressFn CVoxbenchView::MakeProgress(const QString& label) { return longTask_.Start(label); }

// A button that does nothing says why, where a glance finds it and no click is needed.
bool CVoxbenchView::ToldMissingRecording(int fragment, int voice) {
    const std::string reason = MissingRecordingReason(doc_, fragment, voice);
    if (reason.empty()) return false;
    doc_.GetPrompter().ShowStatus(reason);
    return true;
}

void CVoxbenchView::PlayFragment() {
    ReadFieldsIntoState();
    if (!Guard()) return;
    if (!ToldMissingRecording(currentFrag_, fragVoice_))
        vox::PlayFragment(doc_, currentFrag_, fragVoice_);
    TellDamage();
}

void CVoxbenchView::PlayCommandSequence() {
    CommRecord record;
    if (!doc_.GetCommRecord(currentComm_, record)) {
        if (fragCount_ != 0)
            doc_.GetPrompter().ShowStatus("Comm " + std::to_string(currentComm_) +
                                          " does not exist");
        return;
    }
    const std::vector<int> fragments = SlotFragments();
    const int queued = PlayFragmentSequence(doc_, fragments, commVoice_);
    if (queued < static_cast<int>(fragments.size()))
        ToldMissingRecording(fragments[static_cast<size_t>(queued)], commVoice_);
    TellDamage();
}

void CVoxbenchView::SaveFragmentWave() {
    if (!Guard()) return;
    if (!ToldMissingRecording(currentFrag_, fragVoice_))
        vox::SaveFragmentWave(doc_, currentFrag_, fragVoice_);
    TellDamage();
}

void CVoxbenchView::SaveFragmentRange() {
    if (!Guard()) return;
    vox::SaveFragmentRange(doc_, MakeProgress(tr("Saving fragments...")),
                           [this] { longTask_.Finish(); });
    longTask_.Finish();
    TellDamage();
}

void CVoxbenchView::ReplaceFromWave() {
    if (!Guard()) return;
    vox::ReplaceFromWave(doc_, currentFrag_, fragVoice_, undo_);
    // The form shows the entry the voice now uses, not the sizes of the one it replaced.
    RefreshFragment(currentFrag_);
}

void CVoxbenchView::AddNewFromWave() {
    if (!Guard()) return;
    ImportWave(doc_, fragCount_, fragVoice_, MakeProgress(tr("Adding the fragment...")), undo_);
    longTask_.Finish();
    RefreshFragment(fragCount_ - 1);
}

void CVoxbenchView::AddVoiceFromWave() {
    if (!Guard()) return;
    ImportWave(doc_, currentFrag_, fragVoice_, MakeProgress(tr("Adding the voice...")), undo_);
    longTask_.Finish();
    RefreshFragment(currentFrag_);
}

void CVoxbenchView::OnFragInfo() {
    if (!Guard()) return;
    ListRecord record;
    if (!doc_.GetFragRecord(currentFrag_, record)) {
        doc_.GetPrompter().ShowStatus("Fragment " + std::to_string(currentFrag_) +
                                      " does not exist");
        return;
    }
    if (openers_.fragEditor) openers_.fragEditor(this, doc_, currentFrag_);
}

void CVoxbenchView::OnSlotEvalButton(int slot) {
    const int eval = SlotEval(slot);
    ListRecord record;
    if (eval < 0) return;  // a fragment slot: its button is disabled
    if (!doc_.GetEvalRecord(eval, record)) {
        doc_.GetPrompter().ShowStatus("Eval " + std::to_string(eval) + " does not exist");
        return;
    }
    if (openers_.evalEditor) openers_.evalEditor(this, doc_, eval, commVoice_);
}

}  // namespace vox

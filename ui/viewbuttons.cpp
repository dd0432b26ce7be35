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
}

ProgressFn CVoxbenchView::MakeProgress(const QString& label) { return longTask_.Start(label); }

void CVoxbenchView::PlayFragment() {
    ReadFieldsIntoState();
    if (!Guard()) return;
    vox::PlayFragment(doc_, currentFrag_, fragVoice_);
    TellDamage();
}

void CVoxbenchView::PlayCommandSequence() {
    CommRecord record;
    if (!doc_.GetCommRecord(currentComm_, record)) return;
    PlayFragmentSequence(doc_, SlotFragments(), commVoice_);
    TellDamage();
}

void CVoxbenchView::SaveFragmentWave() {
    if (!Guard()) return;
    vox::SaveFragmentWave(doc_, currentFrag_, fragVoice_);
    TellDamage();
}

void CVoxbenchView::SaveFragmentRange() {
    if (!Guard()) return;
    vox::SaveFragmentRange(doc_, MakeProgress(tr("Saving fragments...")));
    longTask_.Finish();
    TellDamage();
}

void CVoxbenchView::ReplaceFromWave() {
    if (!Guard()) return;
    vox::ReplaceFromWave(doc_, currentFrag_, fragVoice_);
    TellDamage();
}

void CVoxbenchView::AddNewFromWave() {
    if (!Guard()) return;
    ImportWave(doc_, fragCount_, fragVoice_, MakeProgress(tr("Adding the fragment...")));
    longTask_.Finish();
    RefreshFragment(fragCount_ - 1);
}

void CVoxbenchView::AddVoiceFromWave() {
    if (!Guard()) return;
    ImportWave(doc_, currentFrag_, fragVoice_, MakeProgress(tr("Adding the voice...")));
    longTask_.Finish();
    RefreshFragment(currentFrag_);
}

void CVoxbenchView::OnFragInfo() {
    if (!Guard()) return;
    if (openers_.fragEditor) openers_.fragEditor(this, doc_, currentFrag_);
}

void CVoxbenchView::OnSlotEvalButton(int slot) {
    const int eval = SlotEval(slot);
    ListRecord record;
    if (eval < 0 || !doc_.GetEvalRecord(eval, record)) return;
    if (openers_.evalEditor) openers_.evalEditor(this, doc_, eval, commVoice_);
}

}  // namespace vox

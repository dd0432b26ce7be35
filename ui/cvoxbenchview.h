#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/editoropeners.h"
#include "ui/formids.h"
#include "ui/longtask.h"
#include "ui/sequencephrasemarks.h"
#include "ui/templates/dialogtemplate.h"
#include "workbench/documentview.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QUndoStack;

namespace vox {

class CVoxbenchDoc;
class WaveformView;

// The main form: one fragment on the left, one comm with its slots on the right. Every value it
// shows is read through the document; the fields below mirror what the form shows, as the
// form's data exchange binds them.
class CVoxbenchView : public QWidget, public DocumentView {
    Q_OBJECT

  public:
    // The form's controls come from the template set's form template; when it is missing the
    // form is empty and Ok() is false.
    CVoxbenchView(CVoxbenchDoc& doc, const DialogTemplateSet& templates, QWidget* parent = nullptr);
    ~CVoxbenchView() override;

    bool Ok() const { return ok_; }
    void SetEditorOpeners(EditorOpeners openers) { openers_ = std::move(openers); }
    // Where Replace, Add New and Add Voice put their commands (none: they are not undoable).
    void SetUndoStack(QUndoStack* undo) { undo_ = undo; }

    void OnUpdate() override;
    void RefreshFragment(int fragment);
    void RefreshComm(int comm);
    void RebuildSequenceText();

    bool AutoPlay() const { return autoPlay_; }
    void SetAutoPlay(bool on);
    void ToggleAutoPlay() { SetAutoPlay(!autoPlay_); }

    int CurrentFragment() const { return currentFrag_; }
    int FragmentVoice() const { return fragVoice_; }
    int CurrentComm() const { return currentComm_; }
    int CommVoice() const { return commVoice_; }
    // Where each shown slot's phrase lies in the sequence phrase field.
    const std::vector<SequencePhrase>& SequencePhrases() const;

    // The actions of the buttons, callable without a click.
    void PlayFragment();
    void PlayCommandSequence();
    void SaveFragmentWave();
    void SaveFragmentRange();
    void ReplaceFromWave();
    void AddNewFromWave();
    void AddVoiceFromWave();
    void OnFragInfo();
    void OnSlotEvalButton(int slot);
    // Shows that fragment in that voice, or that comm, and plays it when Auto Play is on.
    void GoToPhrase(int fragment, int voice);
    void GoToComm(int comm);

  signals:
    void AutoPlayChanged(bool on);
    void SearchPhraseRequested();

  private:
    void BuildForm(const DialogTemplateSet& templates);
    void ConnectHandlers();
    void ConnectSlotHandlers();
    void ConnectActionButtons();

    // Navigation handlers.
    void OnFragmentTyped();
    void OnFragmentStep(int delta);
    void OnVoiceTyped();
    void OnVoiceStep(int delta);
    void OnCommIndexTyped();
    void OnCommStep(int delta);
    void OnCommVoiceTyped();
    void OnCommVoiceStep(int delta);
    void OnElementTyped(int slot);
    void OnElementStep(int slot, int delta);

    bool Guard();
    // Shows in the status bar why the fragment's voice has no recording; false when it has one.
    bool ToldMissingRecording(int fragment, int voice);
    void TellDroppedSounds();
    // Tells the person, once per open database, that a file of it was cut short by another
    // program: every read of it fails from then on, silently otherwise.
    void TellDamage();
    void AutoPlayOne();
    void AutoPlaySequence();

    // Refresh helpers.
    void ShowFragmentSlot(int slot, int fragment);
    void ShowEvalSlot(int slot, int eval);
    void ClearSlot(int slot);
    // Appends one blank and the phrase of (fragment, voice); where the phrase landed.
    SequencePhrase AppendPhrase(QString& text, int fragment, int voice) const;
    void ShowSequence(const QString& text, std::vector<SequencePhrase> phrases);
    int ShownSlotCount(int elements) const;
    // The eval behind slot i of the current comm, or -1 when the slot holds no eval.
    int SlotEval(int slot) const;
    void WriteState();
    void ReadFieldsIntoState();
    std::vector<int> SlotFragments() const;
    ProgressFn MakeProgress(const QString& label);

    // Controls.
    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    void SetField(int id, const QString& text);
    void SetField(int id, long long value);
    int ReadField(int id) const;

    CVoxbenchDoc& doc_;
    std::map<int, QWidget*> controls_;
    QPlainTextEdit* phraseEdit_ = nullptr;
    QPlainTextEdit* sequenceEdit_ = nullptr;
    SequencePhraseMarks* sequenceMarks_ = nullptr;
    WaveformView* waveform_ = nullptr;  // below the Search Phrase button, left of the sequence
    LongTask longTask_;
    EditorOpeners openers_ = EditorOpeners::Dialogs();
    QUndoStack* undo_ = nullptr;
    bool ok_ = false;
    bool damageTold_ = false;

    // The bound state, as the form shows it.
    int currentFrag_ = 0;
    int voiceCount_ = 0;
    int commCount_ = 0;
    int fragCount_ = 0;
    int voxIndex_ = 0;
    int voxSize1_ = 0;
    int voxSize2_ = 0;
    int fragVoice_ = 0;
    int16_t currentComm_ = 0;
    uint8_t priority_ = 0;
    uint8_t position_ = 0;
    uint8_t evals_ = 0;
    uint8_t elements_ = 0;
    int16_t bullseye_ = 0;
    int16_t warp_ = 0;
    int evalCount_ = 0;
    std::string phrase_;
    int commVoice_ = 0;
    bool autoPlay_ = true;
    // Whether the last refresh found the fragment, its voice's entry and the comm.
    bool fragFound_ = false;
    bool entryFound_ = false;
    bool commFound_ = false;
};

}  // namespace vox

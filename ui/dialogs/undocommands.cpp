#include "ui/dialogs/undocommands.h"

#include <QUndoStack>

#include "workbench/document.h"

namespace vox {
namespace {

std::string Number(int n) { return std::to_string(n); }

// Where the alternative with that index sits in the eval, or -1.
int EvalPosition(const CVoxbenchDoc& doc, int eval, int16_t index) {
    ListRecord record;
    if (!doc.GetEvalRecord(eval, record)) return -1;
    for (int position = 0; position < record.count; ++position) {
        EvalElement element;
        if (doc.GetEvalElement(record, position, element) && element.index == index)
            return position;
    }
    return -1;
}

// Where that voice sits in the fragment's list, or -1.
int VoicePosition(const CVoxbenchDoc& doc, int fragment, int voice) {
    ListRecord record;
    if (!doc.GetFragRecord(fragment, record)) return -1;
    for (int position = 0; position < record.count; ++position) {
        FragElement element;
        if (doc.GetFragElement(record, position, element) && element.voice == voice)
            return position;
    }
    return -1;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

DocumentCommand::DocumentCommand(CVoxbenchDoc& doc, const QString& text) : doc_(doc) {
    setText(text);
}

void DocumentCommand::undo() { Finish(Undo(), "Undo"); }

void DocumentCommand::redo() {
    // The push of a change already made.
    if (!pushed_) {
        pushed_ = true;
        return;
    }
    Finish(Redo(), "Redo");
}

void DocumentCommand::Finish(bool done, const char* what) {
    if (!done) {
        doc_.GetPrompter().ShowMessage(std::string(what) + " " + text().toStdString() +
                                       " failed: the document no longer holds what it changed.");
        setObsolete(true);
    }
    doc_.UpdateAllViews();
}

void RecordCommand(QUndoStack* undo, DocumentCommand* command) {
    if (undo == nullptr) {
        delete command;
        return;
    }
    const bool wasClean = undo->isClean();
    const bool keepsClean = !command->ChangesTables();
    undo->push(command);
    if (wasClean && keepsClean) undo->setClean();
}

void ForgetHistory(QUndoStack* undo, const CVoxbenchDoc& doc) {
    if (undo == nullptr || undo->count() == 0) return;
    undo->clear();
    // clear() calls the stack clean, and the document would follow it.
    if (doc.GetFragTable().IsModified() || doc.GetEvalTable().IsModified()) undo->resetClean();
}

// --- Replace and Revert ------------------------------------------------------------------------

PointVoiceSlot::PointVoiceSlot(CVoxbenchDoc& doc, const QString& text, int fragment, int voice,
                               uint32_t fromOffset, uint32_t toOffset)
    : DocumentCommand(doc, text),
      fragment_(fragment),
      voice_(voice),
      from_(fromOffset),
      to_(toOffset),
      moves_(doc.GetEntryMoveCount()) {}

QString PointVoiceSlot::ReplaceText(int fragment, int voice) {
    return Text("Replace fragment " + Number(fragment) + " voice " + Number(voice));
}

QString PointVoiceSlot::RevertText(int fragment, int voice) {
    return Text("Revert fragment " + Number(fragment) + " voice " + Number(voice));
}

bool PointVoiceSlot::Undo() { return Move(to_, from_); }

bool PointVoiceSlot::Redo() { return Move(from_, to_); }

bool PointVoiceSlot::Move(uint32_t from, uint32_t to) {
    uint32_t now = 0;
    if (!doc_.FollowEntry(from, moves_) || !doc_.FollowEntry(to, moves_) ||
        !doc_.GetSlotOffset(fragment_, voice_, now) || now != from) {
        return false;
    }
    const Status moved = doc_.PointSlotAt(fragment_, voice_, to);
    if (!moved) doc_.GetPrompter().ShowMessage(moved.error);
    return moved.Ok();
}

// --- eval editor -------------------------------------------------------------------------------

AddEvalAlternative::AddEvalAlternative(CVoxbenchDoc& doc, int eval, EvalElement element)
    : DocumentCommand(
          doc, Text("Add alternative " + Number(element.index) + " to eval " + Number(eval))),
      eval_(eval),
      element_(element) {}

bool AddEvalAlternative::Undo() {
    const int position = EvalPosition(doc_, eval_, element_.index);
    return position >= 0 && doc_.RemoveEvalElement(eval_, position);
}

bool AddEvalAlternative::Redo() { return doc_.InsertEvalElement(eval_, element_); }

DeleteEvalAlternative::DeleteEvalAlternative(CVoxbenchDoc& doc, int eval, int position,
                                             EvalElement element)
    : DocumentCommand(
          doc, Text("Delete alternative " + Number(element.index) + " of eval " + Number(eval))),
      eval_(eval),
      position_(position),
      element_(element) {}

bool DeleteEvalAlternative::Undo() { return doc_.InsertEvalElement(eval_, element_); }

bool DeleteEvalAlternative::Redo() { return doc_.RemoveEvalElement(eval_, position_); }

ChangeEvalAlternative::ChangeEvalAlternative(CVoxbenchDoc& doc, int eval, int oldPosition,
                                             EvalElement before, int newPosition, EvalElement after)
    : DocumentCommand(
          doc, Text("Change alternative " + Number(before.index) + " of eval " + Number(eval))),
      eval_(eval),
      oldPosition_(oldPosition),
      newPosition_(newPosition),
      before_(before),
      after_(after) {}

bool ChangeEvalAlternative::Undo() {
    return doc_.ChangeEvalElement(eval_, newPosition_, before_) == oldPosition_;
}

bool ChangeEvalAlternative::Redo() {
    return doc_.ChangeEvalElement(eval_, oldPosition_, after_) == newPosition_;
}

RenameEval::RenameEval(CVoxbenchDoc& doc, int eval, std::string before, std::string after)
    : DocumentCommand(doc, Text("Rename eval " + Number(eval))),
      eval_(eval),
      before_(std::move(before)),
      after_(std::move(after)) {}

bool RenameEval::Undo() { return doc_.SetEvalName(eval_, before_); }

bool RenameEval::Redo() { return doc_.SetEvalName(eval_, after_); }

// --- frag editor, Add Voice, Add New -------------------------------------------------------------

AddFragmentVoice::AddFragmentVoice(CVoxbenchDoc& doc, int fragment, int voice, int voxIndex)
    : DocumentCommand(doc, Text("Add voice " + Number(voice) + " to fragment " + Number(fragment))),
      fragment_(fragment),
      voice_(voice),
      voxIndex_(voxIndex) {}

bool AddFragmentVoice::Undo() {
    const int position = VoicePosition(doc_, fragment_, voice_);
    return position >= 0 && doc_.RemoveFragElement(fragment_, position);
}

bool AddFragmentVoice::Redo() { return doc_.InsertFragElement(fragment_, voice_, voxIndex_); }

AddNewFragment::AddNewFragment(CVoxbenchDoc& doc, int fragment, int voice, int voxIndex)
    : DocumentCommand(doc, Text("Add fragment " + Number(fragment))),
      fragment_(fragment),
      voice_(voice),
      voxIndex_(voxIndex) {}

bool AddNewFragment::Undo() {
    // Only the fragment the add appended: after further adds it is no longer the last one,
    // and those are undone first.
    return doc_.GetFragCount() == fragment_ + 1 && doc_.RemoveLastFragment();
}

bool AddNewFragment::Redo() {
    return doc_.GetFragCount() == fragment_ && doc_.AddFragElement(fragment_, voice_, voxIndex_);
}

DeleteFragmentVoice::DeleteFragmentVoice(CVoxbenchDoc& doc, int fragment, int position,
                                         FragElement element)
    : DocumentCommand(
          doc, Text("Delete voice " + Number(element.voice) + " of fragment " + Number(fragment))),
      fragment_(fragment),
      position_(position),
      element_(element) {}

bool DeleteFragmentVoice::Undo() {
    return doc_.InsertFragElement(fragment_, element_.voice, element_.voxIndex);
}

bool DeleteFragmentVoice::Redo() { return doc_.RemoveFragElement(fragment_, position_); }

ChangeFragmentVoxIndex::ChangeFragmentVoxIndex(CVoxbenchDoc& doc, int fragment, int position,
                                               FragElement before, int voxIndex)
    : DocumentCommand(doc, Text("Change vox index of voice " + Number(before.voice) +
                                " of fragment " + Number(fragment))),
      fragment_(fragment),
      position_(position),
      before_(before),
      voxIndex_(voxIndex) {}

bool ChangeFragmentVoxIndex::Undo() {
    return doc_.SetFragVoxIndex(fragment_, position_, before_.voxIndex);
}

bool ChangeFragmentVoxIndex::Redo() {
    return doc_.SetFragVoxIndex(fragment_, position_, voxIndex_);
}

}  // namespace vox

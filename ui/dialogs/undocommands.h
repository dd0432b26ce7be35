#pragma once

#include <QString>
#include <QUndoCommand>
#include <cstdint>
#include <string>

#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"

class QUndoStack;

namespace vox {

class CVoxbenchDoc;

// One change the person made, on the desktop program's undo stack. A command is pushed after
// its change was made by the dialog flow that made it (which has said anything that failed),
// so its first redo() does nothing; later undo() and redo() call the document's operations
// and refresh the views. An operation that fails then (the document was changed behind the
// stack's back) says so, and the command leaves the stack.
class DocumentCommand : public QUndoCommand {
  public:
    DocumentCommand(CVoxbenchDoc& doc, const QString& text);

    void undo() final;
    void redo() final;

    // Whether the command changes a table held in memory until Save. Commands that only change
    // what is written at once (the talk file's slots, the eval names) leave a saved document
    // saved.
    virtual bool ChangesTables() const { return true; }

  protected:
    virtual bool Undo() = 0;
    virtual bool Redo() = 0;
    CVoxbenchDoc& doc_;

  private:
    void Finish(bool done, const char* what);
    bool pushed_ = false;
};

// Puts a command that has been carried out on the stack, or drops it when there is no stack
// (the flows run without one in the library's tests).
void RecordCommand(QUndoStack* undo, DocumentCommand* command);

// Empties the stack after compact dropped and moved the talk file's entries: the offsets its
// commands hold no longer name them. Tables edited and not saved stay
// modified.
void ForgetHistory(QUndoStack* undo, const CVoxbenchDoc& doc);

// --- Replace and Revert ----------------------------------------------------------------------

// The slot of a fragment's voice moved from one entry of the talk file to another; both stay
// in the file, so undo and redo only point it back and forth (PointSlotAt: no history line).
// Rewrites move entries (an add, slot 0 re-pointed): the offsets are followed from the
// document's move count when they were taken (FollowEntry). A slot found holding neither entry
// was changed some other way (a re-installed export) and is left alone.
class PointVoiceSlot : public DocumentCommand {
  public:
    PointVoiceSlot(CVoxbenchDoc& doc, const QString& text, int fragment, int voice,
                   uint32_t fromOffset, uint32_t toOffset);
    bool ChangesTables() const override { return false; }

    static QString ReplaceText(int fragment, int voice);
    static QString RevertText(int fragment, int voice);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    bool Move(uint32_t from, uint32_t to);

    int fragment_;
    int voice_;
    uint32_t from_;  // where the entries lay when the document's move count was moves_
    uint32_t to_;
    size_t moves_;
};

// --- the eval editor ---------------------------------------------------------------------------

class AddEvalAlternative : public DocumentCommand {
  public:
    AddEvalAlternative(CVoxbenchDoc& doc, int eval, EvalElement element);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int eval_;
    EvalElement element_;
};

class DeleteEvalAlternative : public DocumentCommand {
  public:
    DeleteEvalAlternative(CVoxbenchDoc& doc, int eval, int position, EvalElement element);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int eval_;
    int position_;
    EvalElement element_;
};

class ChangeEvalAlternative : public DocumentCommand {
  public:
    // The alternative at oldPosition was `before`; it is `after` at newPosition.
    ChangeEvalAlternative(CVoxbenchDoc& doc, int eval, int oldPosition, EvalElement before,
                          int newPosition, EvalElement after);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int eval_;
    int oldPosition_;
    int newPosition_;
    EvalElement before_;
    EvalElement after_;
};

class RenameEval : public DocumentCommand {
  public:
    RenameEval(CVoxbenchDoc& doc, int eval, std::string before, std::string after);
    bool ChangesTables() const override { return false; }

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int eval_;
    std::string before_;
    std::string after_;
};

// --- the frag editor, Add Voice and Add New -------------------------------------------------

// A voice added to an existing fragment: the frag editor's Add, and Add Voice (whose new talk
// entry stays in the talk file, unreferenced after an undo, until compact).
class AddFragmentVoice : public DocumentCommand {
  public:
    AddFragmentVoice(CVoxbenchDoc& doc, int fragment, int voice, int voxIndex);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int fragment_;
    int voice_;
    int voxIndex_;
};

// Add New: a fragment appended with its first voice.
class AddNewFragment : public DocumentCommand {
  public:
    AddNewFragment(CVoxbenchDoc& doc, int fragment, int voice, int voxIndex);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int fragment_;
    int voice_;
    int voxIndex_;
};

class DeleteFragmentVoice : public DocumentCommand {
  public:
    DeleteFragmentVoice(CVoxbenchDoc& doc, int fragment, int position, FragElement element);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int fragment_;
    int position_;
    FragElement element_;
};

class ChangeFragmentVoxIndex : public DocumentCommand {
  public:
    ChangeFragmentVoxIndex(CVoxbenchDoc& doc, int fragment, int position, FragElement before,
                           int voxIndex);

  protected:
    bool Undo() override;
    bool Redo() override;

  private:
    int fragment_;
    int position_;
    FragElement before_;
    int voxIndex_;
};

}  // namespace vox

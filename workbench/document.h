#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/player/soundplayer.h"
#include "audio/speechcodec.h"
#include "lookup/commnamelist.h"
#include "lookup/evalnamelist.h"
#include "lookup/phraselist.h"
#include "talkdata/commtable.h"
#include "talkdata/compact.h"
#include "talkdata/entrybatch.h"
#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "talkdata/mappedfile.h"
#include "talkdata/offsetmap.h"
#include "talkdata/profile.h"
#include "talkdata/progress.h"
#include "talkdata/status.h"
#include "talkdata/tablenames.h"
#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "talkdata/writerlock.h"
#include "workbench/documentview.h"
#include "workbench/prompter.h"

namespace vox {

// The one document of a run: the open talk file with its three companion tables, the codec,
// the sound player and the name lists, and the accessors over them. Front ends (the desktop
// program, voxtool) own one each. What changes the talk file lives in command files of its own
// (fragmentimport, listimport, ...); what asks the person something lives in the desktop
// program; the prompter held here is the front end's, for those dialog flows.
class CVoxbenchDoc {
  public:
    enum class Access { ReadWrite, ReadOnly };

    static constexpr const char* kFragFileName = vox::kFragFileName;
    static constexpr const char* kEvalFileName = vox::kEvalFileName;
    static constexpr const char* kCommFileName = vox::kCommFileName;

    explicit CVoxbenchDoc(Profile& profile,
                          SoundDeviceFactory soundDevices = MakeDefaultSoundDevice);
    virtual ~CVoxbenchDoc();
    CVoxbenchDoc(const CVoxbenchDoc&) = delete;
    CVoxbenchDoc& operator=(const CVoxbenchDoc&) = delete;

    // --- framework side -------------------------------------------------------------------
    void SetPrompter(Prompter* prompter);
    Prompter& GetPrompter() { return *prompter_; }
    Profile& GetProfile() { return profile_; }
    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    void UpdateAllViews();
    // Told, on the player's thread, each time a sound is dropped for want of a device (see
    // SoundPlayer::SetDropHook); an empty hook stops the telling.
    void SetSoundDropHook(SoundPlayer::DropHook hook) { player_.SetDropHook(std::move(hook)); }

    bool OnNewDocument();
    // On failure GetOpenError() names the file and the reason ("fragFile.bin: file is shorter
    // than one record"); the effects of earlier steps stay until the next open or close.
    bool OnOpenDocument(const std::string& path, Access access = Access::ReadWrite);
    void OnCloseDocument();
    // The tables are saved to files the person names (the desktop program asks for them).
    Status SaveFragTable(const std::string& path);
    Status SaveEvalTable(const std::string& path);
    // Writes the talk file's changed pages back; true when there is nothing to write.
    bool FlushTalkFile();
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    const std::string& GetPathName() const { return path_; }
    const std::string& GetOpenError() const { return openError_; }
    bool IsTalkFileOpen() const { return voxFile_.IsOpen(); }
    // Opened with Access::ReadOnly: for looking; nothing of it may be written.
    bool IsReadOnly() const { return readOnly_; }
    // The path of the first open mapped file (talk file, then commFile.bin) that another
    // program cut short while it was open, or empty. What lay past the cut reads as zeros (and
    // once a read has faulted, lookups in the file fail), so a front end asks after its reads
    // and tells the person once.
    std::string DamagedFileName() const;

    // The folder the companion tables are taken from: everything up to and including the last
    // '/', or empty (the current folder) when there is none.
    static std::string CompanionFolder(const std::string& talkPath);

    // --- accessors --------------------------------------------------------------------------
    bool GetCommRecord(int comm, CommRecord& out) const;
    int GetCommCount() const;
    int16_t GetCommEntry(const CommRecord& record, int position) const;
    // The three lookups behind every sound are inline: the form and the scans call them per
    // fragment and voice, and each already checks its own bounds.
    bool GetFragRecord(int frag, ListRecord& out) const { return fragTable_.GetRecord(frag, out); }
    int FindVoxIndex(const ListRecord& frag, int voice) const {
        return fragTable_.FindVoxIndex(frag, voice);
    }
    bool GetFragElement(const ListRecord& frag, int position, FragElement& out) const;
    int GetFragCount() const;
    bool GetEvalRecord(int eval, ListRecord& out) const;
    int GetEvalCount() const;
    bool GetEvalElement(const ListRecord& eval, int position, EvalElement& out) const;
    int16_t GetEvalFrag(const ListRecord& eval, int position) const;
    bool GetEvalName(int eval, std::string& out) const;
    bool SetEvalName(int eval, const std::string& name);
    bool InsertEvalElement(int eval, EvalElement element);
    bool SetEvalElement(int eval, int position, EvalElement element);
    bool InsertFragElement(int frag, int voice, int voxIndex);
    // Not const: a read-only document maps its talk file again when another program's
    // replace has pointed a slot past the end it mapped (MappedFile::RemapIfGrown), so that an
    // entry is never taken for missing while it is being written. Pointers from earlier
    // lookups are stale after that.
    bool GetVoxEntry(int voxIndex, VoxEntry& out) {
        return VoxFile::GetVoxEntry(voxFile_.Bytes(), voxIndex, out) ||
               (voxFile_.RemapIfGrown() && VoxFile::GetVoxEntry(voxFile_.Bytes(), voxIndex, out));
    }

    // --- editor operations: each keeps the table's invariants and marks the document modified
    // on success ----------------------------------------------------------------------------
    bool RemoveEvalElement(int eval, int position);
    // The alternative's new position after it moved to where its index sorts, or -1 when the
    // index belongs to another alternative or the position is absent.
    int ChangeEvalElement(int eval, int position, EvalElement element);
    bool RemoveFragElement(int frag, int position);
    bool SetFragVoxIndex(int frag, int position, int voxIndex);
    // As InsertFragElement, except that frag equal to the count appends a new fragment.
    bool AddFragElement(int frag, int voice, int voxIndex);
    // Takes back the fragment that AddFragElement (or AddFragment) appended last; false when
    // the last fragment's voices are not the table's last words.
    bool RemoveLastFragment();

    // Decodes into out, which holds outCapacity bytes; pcmLen gets the bytes produced.
    bool DecodeSound(const uint8_t* coded, uint32_t codedLen, uint8_t* out, uint32_t outCapacity,
                     uint32_t& pcmLen);
    bool EncodeSound(const uint8_t* pcm, uint32_t pcmLen, std::unique_ptr<uint8_t[]>& coded,
                     uint32_t& codedLen);
    // Decodes a talk entry into a fresh buffer of decodedSize + 500 bytes; false (and no
    // buffer) when the entry does not decode.
    bool DecodeEntry(const VoxEntry& entry, std::unique_ptr<uint8_t[]>& pcm, uint32_t& pcmLen);
    // Takes over the buffer and returns at once; the sound is heard after those queued before.
    bool PlaySound(std::unique_ptr<uint8_t[]> pcm, uint32_t size);

    // --- fragment import (fragmentimport.cpp) ------------------------------------------------
    // Appends one entry and re-points the slot of the fragment's voice (slot 0, which also
    // marks the directory's end, by a rewrite), then appends a "replace" line naming source to
    // the history beside the talk file (talkhistory.h). The error names what is missing, or
    // the file and the reason when the talk file could not be written. When only the history
    // line could not be written, the slot has moved all the same and the error says so ("...
    // holds the new recording, but its history line could not be written: ...").
    Status ReplaceFragment(int frag, int voice, const uint8_t* coded, uint32_t codedLen,
                           uint32_t decodedLen, const TakeSource& source = {});
    // Points the slot of the fragment's voice at an entry already in the talk file (no append,
    // no history line), flushed, under the writer lock the document holds: what undo and redo
    // of a replace and a revert do. In place, except for slot 0, which also marks the
    // directory's end: its entry is moved to the front by a rewrite (VoxFile::
    // WriteWithEntryFirst) that moves other entries and the history's offsets with it
    // (FollowEntry). Refused, with nothing written, for an offset where no whole entry lies
    // behind the directory (VoxFile::IsEntryAt) and for a read-only document.
    Status PointSlotAt(int frag, int voice, uint32_t entryOffset);
    // The entry offset the slot of the fragment's voice holds now; false when the fragment,
    // the voice or the slot is missing.
    bool GetSlotOffset(int frag, int voice, uint32_t& offset) const;
    // Rewrites the talk file with one more slot and entry, then adds the voice to the fragment
    // table. The error is the message to show ("Add new fragment failed", "Can't write temporary
    // file: ..."); a progress that asked to stop cancels it.
    Status AddFragment(int frag, int voice, std::unique_ptr<uint8_t[]> coded, uint32_t codedLen,
                       uint32_t decodedLen, const ProgressFn& progress = {});
    // Every new entry of the batch in one append, then the slots (EntryBatch::Apply); a batch
    // that holds slot 0 in one rewrite instead. Whole or not at all. Then one "import" history
    // line per slot, with each replacement's frag, voice and source.
    Status ReplaceEntries(const EntryBatch& batch, size_t& slotsWritten);

    // --- entries that moved (fragmentimport.cpp) -----------------------------------------------
    // How many rewrites have moved the talk file's entries since the document was made: a
    // replace or a revert of slot 0, an add, a compact, opening another database.
    size_t GetEntryMoveCount() const { return entryMoves_.size(); }
    // Follows the entry that lay at offset when the count was since to where it lies now;
    // false when a compact or another database came in between (their moves are not kept).
    bool FollowEntry(uint32_t& offset, size_t since) const;

    // --- maintenance -----------------------------------------------------------------------
    // The writer lock on the open talk file, held while it is open read-write.
    WriterLock& GetWriterLock() { return writerLock_; }
    // voxtool's compact (CompactTalkFile) on the open talk file: the bytes nothing needs are
    // dropped in one rewrite, and every entry that stays may move. A file with nothing to
    // reclaim is left alone (result.rewritten false). The writer lock is let go while it runs;
    // when another writer takes it in between, the document stays open read-only and the
    // error says so.
    CompactResult CompactOpenTalkFile(const ProgressFn& progress = {});

    // --- side files ---------------------------------------------------------------------------
    // False when the file could not be read.
    bool LoadPhraseFile(const std::string& path);
    bool LoadCommNameFile(const std::string& path);
    std::string GetPhrase(int frag, int voice) const;
    std::string GetCommName(int comm) const;
    void LoadEvalNames();
    void SaveEvalNames();

    // --- direct table access for tools --------------------------------------------------------
    const FragTable& GetFragTable() const { return fragTable_; }
    const EvalTable& GetEvalTable() const { return evalTable_; }
    const CommTable& GetCommTable() const { return commTable_; }
    const MappedFile& GetVoxFile() const { return voxFile_; }
    const PhraseList& GetPhrases() const { return phrases_; }
    const CommNameList& GetCommNames() const { return commNames_; }
    const SoundPlayer& GetSoundPlayer() const { return player_; }
    SpeechCodec& GetCodec() { return codec_; }

  private:
    void ReleaseDatabase();
    // A rewrite moved the entries as moved says, or (nullopt) in a way that is not kept.
    void NoteEntryMove(std::optional<OffsetMap> moved) { entryMoves_.push_back(std::move(moved)); }
    Status PutEntryFirst(int frag, int voice, uint32_t entryOffset);
    bool PrepareForWriting(const std::string& path);

    Profile& profile_;
    SilentPrompter silentPrompter_;
    Prompter* prompter_ = &silentPrompter_;
    std::vector<DocumentView*> views_;
    bool modified_ = false;
    bool readOnly_ = false;
    std::string openError_;

    // The members of the document proper, in the order they are built and (reversed) destroyed.
    SpeechCodec codec_;
    std::string path_;
    EvalTable evalTable_;
    FragTable fragTable_;
    PlayerThread playerThread_;
    SoundPlayer player_;
    CommTable commTable_;
    MappedFile voxFile_;
    WriterLock writerLock_;  // held while voxFile_ is open read-write
    EvalNameList evalNames_;
    PhraseList phrases_;
    CommNameList commNames_;
    std::vector<std::optional<OffsetMap>> entryMoves_;
};

}  // namespace vox

#include "workbench/document.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <ctime>

#include "talkdata/leftovers.h"

namespace vox {
namespace {

constexpr std::chrono::milliseconds kPlayerShutdownLimit{2000};

// A table is saved wherever the person chose; the modified flag goes once it is on disk.
Status SaveTable(ListTable& table, const std::string& path) {
    if (table.Save(path)) return {};
    return Status::Failure("File save failed\n" + path + ": " + table.GetError());
}

}  // namespace

CVoxbenchDoc::CVoxbenchDoc(Profile& profile, SoundDeviceFactory soundDevices)
    : profile_(profile), player_(std::move(soundDevices)) {
    codec_.Init();  // a failed init shows up later as failing decodes and encodes
    LoadEvalNames();
}

CVoxbenchDoc::~CVoxbenchDoc() {
    SaveEvalNames();
    player_.Stop();
    if (playerThread_.IsStarted()) playerThread_.Shutdown(player_, kPlayerShutdownLimit);
}

void CVoxbenchDoc::SetPrompter(Prompter* prompter) {
    prompter_ = prompter != nullptr ? prompter : &silentPrompter_;
}

void CVoxbenchDoc::AddView(DocumentView* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void CVoxbenchDoc::RemoveView(DocumentView* view) { std::erase(views_, view); }

void CVoxbenchDoc::UpdateAllViews() {
    // A view may add or remove views while it refreshes; walk a copy.
    const std::vector<DocumentView*> views = views_;
    for (DocumentView* view : views) view->OnUpdate();
}

std::string CVoxbenchDoc::CompanionFolder(const std::string& talkPath) {
    const size_t slash = talkPath.rfind('/');
    return slash == std::string::npos ? std::string() : talkPath.substr(0, slash + 1);
}

// --- opening and closing -------------------------------------------------------------------

bool CVoxbenchDoc::OnNewDocument() {
    ReleaseDatabase();
    path_.clear();
    openError_.clear();
    modified_ = false;
    UpdateAllViews();
    return true;
}

bool CVoxbenchDoc::OnOpenDocument(const std::string& path, Access access) {
    openError_.clear();
    NoteEntryMove(std::nullopt);
    const int mode = access == Access::ReadWrite ? 1 : 0;
    // Every writer holds the talk file's lock; a second one is refused before anything opens.
    if (mode == 1 && !writerLock_.Acquire(path)) {
        openError_ = path + ": " + writerLock_.GetError();
        return false;
    }
    if (mode == 0) writerLock_.Release();
    if (mode == 1 && !PrepareForWriting(path)) return false;
    if (!voxFile_.Open(path, mode)) {
        openError_ = path + ": " + voxFile_.GetError();
        return false;
    }
    path_ = path;
    const std::string folder = CompanionFolder(path);

    if (!fragTable_.Load(folder + kFragFileName)) {
        openError_ = folder + kFragFileName + ": " + fragTable_.GetError();
        return false;
    }
    if (!commTable_.Open(folder + kCommFileName)) {
        openError_ = folder + kCommFileName + ": " + commTable_.GetError();
        return false;
    }
    if (!evalTable_.Load(folder + kEvalFileName)) {
        openError_ = folder + kEvalFileName + ": " + evalTable_.GetError();
        return false;
    }
    if (phrases_.IsEmpty()) {
        const std::string phraseFile = profile_.GetString("Data", "Phrases", "");
        if (!phraseFile.empty()) LoadPhraseFile(phraseFile);
    }
    if (commNames_.IsEmpty()) {
        const std::string commFile = profile_.GetString("Data", "Comms", "");
        if (!commFile.empty()) LoadCommNameFile(commFile);
    }
    modified_ = false;
    readOnly_ = access == Access::ReadOnly;
    UpdateAllViews();
    return true;
}

bool CVoxbenchDoc::PrepareForWriting(const std::string& path) {
    std::string why;
    if (PrepareToWrite(path, time(nullptr), &why)) return true;
    openError_ = why;
    writerLock_.Release();
    return false;
}

void CVoxbenchDoc::ReleaseDatabase() {
    NoteEntryMove(std::nullopt);
    readOnly_ = false;
    voxFile_.Close();
    writerLock_.Release();
    fragTable_.Clear();
    commTable_.Close();
    evalTable_.Clear();
}

void CVoxbenchDoc::OnCloseDocument() {
    ReleaseDatabase();
    path_.clear();
    modified_ = false;
}

std::string CVoxbenchDoc::DamagedFileName() const {
    // A closed file keeps its damage flag until the next open; only open ones count.
    if (voxFile_.IsOpen() && voxFile_.WasCut()) return voxFile_.GetPath();
    if (commTable_.WasCut()) return commTable_.GetPath();
    return std::string();
}

Status CVoxbenchDoc::SaveFragTable(const std::string& path) { return SaveTable(fragTable_, path); }

Status CVoxbenchDoc::SaveEvalTable(const std::string& path) { return SaveTable(evalTable_, path); }

bool CVoxbenchDoc::FlushTalkFile() { return !voxFile_.IsOpen() || voxFile_.Flush(); }

// --- side files ------------------------------------------------------------------------------

bool CVoxbenchDoc::LoadPhraseFile(const std::string& path) {
    if (!phrases_.LoadFile(path)) return false;
    UpdateAllViews();
    return true;
}

bool CVoxbenchDoc::LoadCommNameFile(const std::string& path) {
    if (!commNames_.LoadFile(path)) return false;
    UpdateAllViews();
    return true;
}

std::string CVoxbenchDoc::GetPhrase(int frag, int voice) const {
    return phrases_.GetPhrase(frag, voice);
}

std::string CVoxbenchDoc::GetCommName(int comm) const { return commNames_.GetCommName(comm); }

void CVoxbenchDoc::LoadEvalNames() { evalNames_.Load(profile_); }

void CVoxbenchDoc::SaveEvalNames() {
    evalNames_.Save(profile_);
    profile_.Flush();
}

// --- accessors -----------------------------------------------------------------------------------

bool CVoxbenchDoc::GetCommRecord(int comm, CommRecord& out) const {
    return commTable_.GetCommRecord(comm, out);
}
int CVoxbenchDoc::GetCommCount() const { return commTable_.GetCount(); }
int16_t CVoxbenchDoc::GetCommEntry(const CommRecord& record, int position) const {
    return commTable_.GetCommEntry(record, position);
}
bool CVoxbenchDoc::GetFragElement(const ListRecord& frag, int position, FragElement& out) const {
    return fragTable_.GetFragElement(frag, position, out);
}
int CVoxbenchDoc::GetFragCount() const { return fragTable_.GetCount(); }
bool CVoxbenchDoc::GetEvalRecord(int eval, ListRecord& out) const {
    return evalTable_.GetRecord(eval, out);
}
int CVoxbenchDoc::GetEvalCount() const { return evalTable_.GetCount(); }
bool CVoxbenchDoc::GetEvalElement(const ListRecord& eval, int position, EvalElement& out) const {
    return evalTable_.GetEvalElement(eval, position, out);
}
int16_t CVoxbenchDoc::GetEvalFrag(const ListRecord& eval, int position) const {
    return evalTable_.GetEvalFrag(eval, position);
}
bool CVoxbenchDoc::GetEvalName(int eval, std::string& out) const {
    return evalNames_.GetEvalName(eval, out);
}

bool CVoxbenchDoc::SetEvalName(int eval, const std::string& name) {
    if (!evalNames_.SetEvalName(eval, name)) return false;
    UpdateAllViews();
    return true;
}

bool CVoxbenchDoc::InsertEvalElement(int eval, EvalElement element) {
    if (!evalTable_.InsertElement(eval, element)) return false;
    SetModifiedFlag(true);
    return true;
}

bool CVoxbenchDoc::SetEvalElement(int eval, int position, EvalElement element) {
    if (!evalTable_.SetElement(eval, position, element)) return false;
    SetModifiedFlag(true);
    return true;
}

bool CVoxbenchDoc::InsertFragElement(int frag, int voice, int voxIndex) {
    if (!fragTable_.InsertElement(frag, voice, voxIndex)) return false;
    SetModifiedFlag(true);
    return true;
}

// --- editor operations -----------------------------------------------------------------------

bool CVoxbenchDoc::RemoveEvalElement(int eval, int position) {
    if (!evalTable_.RemoveElement(eval, position)) return false;
    SetModifiedFlag(true);
    return true;
}

int CVoxbenchDoc::ChangeEvalElement(int eval, int position, EvalElement element) {
    const int moved = evalTable_.ChangeElement(eval, position, element);
    if (moved >= 0) SetModifiedFlag(true);
    return moved;
}

bool CVoxbenchDoc::RemoveFragElement(int frag, int position) {
    if (!fragTable_.RemoveElement(frag, position)) return false;
    SetModifiedFlag(true);
    return true;
}

bool CVoxbenchDoc::SetFragVoxIndex(int frag, int position, int voxIndex) {
    if (!fragTable_.SetVoxIndex(frag, position, voxIndex)) return false;
    SetModifiedFlag(true);
    return true;
}

bool CVoxbenchDoc::AddFragElement(int frag, int voice, int voxIndex) {
    if (!fragTable_.AddElement(frag, voice, voxIndex)) return false;
    SetModifiedFlag(true);
    return true;
}

bool CVoxbenchDoc::RemoveLastFragment() {
    if (!fragTable_.RemoveLastRecord()) return false;
    SetModifiedFlag(true);
    return true;
}

// --- sound -------------------------------------------------------------------------------------

bool CVoxbenchDoc::DecodeSound(const uint8_t* coded, uint32_t codedLen, uint8_t* out,
                               uint32_t outCapacity, uint32_t& pcmLen) {
    return codec_.Decode(coded, codedLen, out, outCapacity, pcmLen);
}

bool CVoxbenchDoc::EncodeSound(const uint8_t* pcm, uint32_t pcmLen,
                               std::unique_ptr<uint8_t[]>& coded, uint32_t& codedLen) {
    return codec_.Encode(pcm, pcmLen, coded, codedLen);
}

bool CVoxbenchDoc::DecodeEntry(const VoxEntry& entry, std::unique_ptr<uint8_t[]>& pcm,
                               uint32_t& pcmLen) {
    const uint32_t capacity = SpeechCodec::DecodeBufferSize(entry.decodedSize);
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    uint32_t produced = entry.decodedSize;
    if (!DecodeSound(entry.data, entry.codedSize, buffer.get(), capacity, produced)) return false;
    pcm = std::move(buffer);
    pcmLen = produced;
    return true;
}

bool CVoxbenchDoc::PlaySound(std::unique_ptr<uint8_t[]> pcm, uint32_t size) {
    if (!playerThread_.IsStarted()) playerThread_.Start(player_);
    player_.Enqueue(std::make_unique<SoundItem>(std::move(pcm), size));
    return true;
}

}  // namespace vox

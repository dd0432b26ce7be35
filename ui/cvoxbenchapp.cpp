#include "ui/cvoxbenchapp.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>

#include "talkdata/iniprofile.h"
#include "talkdata/verify.h"
#include "ui/caboutdlg.h"
#include "ui/cmainframe.h"
#include "ui/cvoxbenchview.h"
#include "ui/documentcommands.h"
#include "ui/frameprompter.h"
#include "workbench/document.h"

namespace vox {
namespace {

const char* const kTemplateFiles[] = {":/templates/mainform.dlg", ":/templates/about.dlg"};
constexpr const char* kFrameFile = ":/frame/mainframe.txt";
constexpr int kPathShownMs = 5000;
constexpr size_t kFindingsShown = 5;

// One message for everything the directory check found: the first few places, and a count.
std::string DamageMessage(const VerifyReport& report) {
    std::string text = "The talk file is damaged:\n";
    for (size_t i = 0; i < report.findings.size() && i < kFindingsShown; ++i) {
        text += report.findings[i].Text() + "\n";
    }
    if (report.problemCount > kFindingsShown) {
        text += "and " + std::to_string(report.problemCount - kFindingsShown) + " more problems\n";
    }
    return text;
}

std::string AbsolutePath(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
}

}  // namespace

CVoxbenchApp::CVoxbenchApp(Setup setup) : editors_(std::move(setup.editors)) {
    if (setup.profile) {
        profile_ = setup.profile;
    } else {
        ownProfile_ = std::make_unique<IniProfile>(IniProfile::DefaultPath());
        profile_ = ownProfile_.get();
    }
    doc_ = std::make_unique<CVoxbenchDoc>(*profile_, std::move(setup.soundDevices));
    undo_ = std::make_unique<QUndoStack>();
    // The document's own flag follows the stack: an undo back to the saved state leaves the
    // document unmodified, one past it modified again.
    QObject::connect(undo_.get(), &QUndoStack::cleanChanged, [this](bool clean) {
        doc_->SetModifiedFlag(!clean);
        UpdateTitle();
    });
    doc_->AddView(&titleFollower_);
    prompter_ = setup.prompter;
    recentFiles_.Load(*profile_);
}

CVoxbenchApp::~CVoxbenchApp() {
    // The form is a view of the document and goes first; the document before the profile. The
    // commands on the stack refer to the document.
    frame_.reset();
    undo_.reset();
    doc_->RemoveView(&titleFollower_);
    doc_->SetPrompter(nullptr);
    doc_.reset();
}

bool CVoxbenchApp::InitInstance(const QStringList& arguments) {
    if (!LoadResources() || !CreateFrame()) {
        ShowMessage(startupError_);
        return false;
    }
    QString path;
    for (const QString& argument : arguments) {
        if (path.isEmpty() && !argument.startsWith('-')) path = argument;
    }
    if (path.isEmpty()) {
        doc_->OnNewDocument();
        UpdateTitle();
    } else if (!OpenDocumentFile(path.toStdString())) {
        startupError_ = "Cannot open " + path.toStdString();
        return false;
    }
    frame_->show();
    return true;
}

void CVoxbenchApp::ExitInstance() {
    recentFiles_.Save(*profile_);
    profile_->Flush();
}

bool CVoxbenchApp::LoadResources() {
    for (const char* file : kTemplateFiles) {
        DialogTemplateSet set;
        std::string error;
        if (!LoadDialogTemplates(file, set, error)) {
            startupError_ = error;
            return false;
        }
        for (DialogTemplate& dialog : set.dialogs) templates_.dialogs.push_back(std::move(dialog));
    }
    std::string error;
    if (!LoadFrameResources(kFrameFile, frameResources_, error)) {
        startupError_ = error;
        return false;
    }
    return true;
}

bool CVoxbenchApp::CreateFrame() {
    frame_ = std::make_unique<CMainFrame>(*this, frameResources_);
    view_ = new CVoxbenchView(*doc_, templates_, frame_.get());
    view_->SetUndoStack(undo_.get());
    view_->SetEditorOpeners(editors_ ? *editors_ : EditorOpeners::Dialogs(undo_.get()));
    if (!prompter_) {
        ownPrompter_ = std::make_unique<FramePrompter>(frame_.get());
        prompter_ = ownPrompter_.get();
    }
    doc_->SetPrompter(prompter_);
    if (!view_->Ok() || !frame_->OnCreate(view_)) {
        startupError_ = "The main window could not be created.";
        return false;
    }
    return true;
}

// --- documents -------------------------------------------------------------------------------

bool CVoxbenchApp::OpenDocumentFile(const std::string& path) {
    if (!SaveModified()) return false;
    // Whatever happens next, the document no longer holds what the commands changed.
    undo_->clear();
    const std::string previous = doc_->GetPathName();
    if (!doc_->OnOpenDocument(path)) {
        ShowMessage("Cannot open " + path + ":\n" + doc_->GetOpenError());
        RestoreAfterFailedOpen(previous);
        return false;
    }
    savedAsPath_.clear();
    CheckTalkDirectory(path);
    recentFiles_.Add(AbsolutePath(path));
    if (frame_) {
        frame_->RebuildRecentFiles();
        // The title names the file only; where it lies is said for a while on opening.
        frame_->statusBar()->showMessage(QString::fromStdString(AbsolutePath(path)), kPathShownMs);
    }
    UpdateTitle();
    return true;
}

// A damaged directory would make Play and Save do nothing, without a word. The database is
// opened again read-only, so that it can still be looked at but nothing is written over it.
void CVoxbenchApp::CheckTalkDirectory(const std::string& path) {
    const VerifyReport report =
        VerifyTalkDirectory(doc_->GetVoxFile().Bytes(),
                            QFileInfo(QString::fromStdString(path)).fileName().toStdString());
    if (report.problemCount == 0) return;
    std::string text = DamageMessage(report);
    if (doc_->OnOpenDocument(path, CVoxbenchDoc::Access::ReadOnly)) {
        text += "\nIt is open read-only, for looking: nothing will be written to it.";
    } else {
        text += "\nIt could not be opened read-only either:\n" + doc_->GetOpenError();
        doc_->OnNewDocument();
    }
    ShowMessage(text);
}

// A failed open has already replaced part of the database (the talk file, a table). The form
// would go on showing the old file over a half-new document, so the old file is opened again,
// or the document is emptied when that fails too.
void CVoxbenchApp::RestoreAfterFailedOpen(const std::string& previousPath) {
    if (previousPath.empty() || !doc_->OnOpenDocument(previousPath)) {
        doc_->OnNewDocument();
        savedAsPath_.clear();
    }
    UpdateTitle();
}

void CVoxbenchApp::OnFileNew() {
    if (!SaveModified()) return;
    undo_->clear();
    doc_->OnNewDocument();
    savedAsPath_.clear();
    UpdateTitle();
}

void CVoxbenchApp::OnFileOpen() {
    FileDialogRequest request;
    request.defaultExtension = "vox";
    request.filter = kOpenFilter;
    request.mustExist = true;
    const std::optional<std::string> chosen = prompter_->AskFile(request);
    if (chosen && !chosen->empty()) OpenDocumentFile(*chosen);
}

bool CVoxbenchApp::OnFileSave() {
    std::string path = doc_->GetPathName().empty() ? savedAsPath_ : doc_->GetPathName();
    if (path.empty()) {
        FileDialogRequest request;
        request.save = true;
        request.defaultExtension = "vox";
        request.fileName = DocumentTitle() + ".vox";
        request.filter = kOpenFilter;
        request.overwritePrompt = true;
        const std::optional<std::string> chosen = prompter_->AskFile(request);
        if (!chosen || chosen->empty()) return false;
        path = *chosen;
        savedAsPath_ = path;
    }
    const bool saved = OnSaveDocument(*doc_);
    if (saved) undo_->setClean();
    UpdateTitle();
    return saved;
}

bool CVoxbenchApp::SaveModified() {
    if (!doc_->IsModified()) return true;
    switch (prompter_->AskYesNoCancel("Save changes to " + DocumentTitle() + "?")) {
        case Answer::Yes:
            return OnFileSave();
        case Answer::No:
            return true;
        case Answer::Cancel:
            break;
    }
    return false;
}

void CVoxbenchApp::TableSaved() {
    if (doc_->GetFragTable().IsModified() || doc_->GetEvalTable().IsModified())
        undo_->resetClean();
    else
        undo_->setClean();
}

void CVoxbenchApp::OnAppAbout() {
    CAboutDlg dialog(templates_, frame_.get());
    dialog.exec();
}

std::string CVoxbenchApp::DocumentTitle() const {
    const std::string& path = doc_->GetPathName().empty() ? savedAsPath_ : doc_->GetPathName();
    if (path.empty()) return "Untitled";
    return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
}

std::string CVoxbenchApp::WindowTitle() const {
    return DocumentTitle() + (doc_->IsModified() ? "*" : "") + " - " + kAppTitle;
}

void CVoxbenchApp::UpdateTitle() {
    if (!frame_) return;
    frame_->setWindowTitle(QString::fromStdString(WindowTitle()));
    // Window systems that show a window's file (a title tooltip, a proxy icon) get the full path.
    const std::string& path = doc_->GetPathName();
    frame_->setWindowFilePath(path.empty() ? QString()
                                           : QString::fromStdString(AbsolutePath(path)));
}

void CVoxbenchApp::ShowMessage(const std::string& text) {
    if (prompter_) {
        prompter_->ShowMessage(text);
        return;
    }
    QMessageBox::critical(nullptr, kAppTitle, QString::fromStdString(text));
}

}  // namespace vox

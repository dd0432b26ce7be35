#pragma once

#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "audio/player/sounddevice.h"
#include "ui/editoropeners.h"
#include "ui/frameresources.h"
#include "ui/recentfilelist.h"
#include "ui/templates/dialogtemplate.h"
#include "workbench/documentview.h"
#include "workbench/prompter.h"

class QUndoStack;

namespace vox {

class CMainFrame;
class CVoxbenchDoc;
class CVoxbenchView;
class Profile;

// The program: one document, one frame and one form for the whole run, the recent-file list,
// and the framework's file commands (new, open, save, and the question whether to save a
// modified document first).
class CVoxbenchApp {
  public:
    static constexpr const char* kAppTitle = "voxbench";
    static constexpr const char* kOpenFilter = "Q7 Vox Files (*.vox)|*.vox|All Files (*.*)|*.*||";

    struct Setup {
        Profile* profile = nullptr;  // null: the user's profile file
        SoundDeviceFactory soundDevices = MakeDefaultSoundDevice;
        Prompter* prompter = nullptr;          // null: real dialogs over the main window
        std::optional<EditorOpeners> editors;  // none: the real editors
    };

    explicit CVoxbenchApp(Setup setup);
    ~CVoxbenchApp();
    CVoxbenchApp(const CVoxbenchApp&) = delete;
    CVoxbenchApp& operator=(const CVoxbenchApp&) = delete;

    // Builds the window and carries out the command line (an optional talk-file path). False
    // when the program must end: the reason has been shown, and no window was shown.
    bool InitInstance(const QStringList& arguments);
    // Stores the recent-file list in the profile.
    void ExitInstance();

    bool OpenDocumentFile(const std::string& path);
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    // Asks whether to save a modified document; false when the person cancels (or the save
    // was cancelled), and whatever was about to happen must not.
    bool SaveModified();
    void OnAppAbout();

    CVoxbenchDoc& Document() { return *doc_; }
    // Every change the person makes, for Edit > Undo and Redo. The document is modified while
    // the stack is away from its clean state; New and Open empty it.
    QUndoStack& UndoStack() { return *undo_; }
    // Marks the stack clean after a table was saved, when nothing else is left unsaved; a save
    // of one table while the other stays modified leaves no state of the stack that matches
    // the files, so none is clean until the next full save.
    void TableSaved();
    CMainFrame* MainFrame() { return frame_.get(); }
    CVoxbenchView* View() { return view_; }
    const RecentFileList& RecentFiles() const { return recentFiles_; }
    // "speech.vox" or "Untitled".
    std::string DocumentTitle() const;
    // "speech.vox - voxbench", with a "*" after the name while the document is modified.
    std::string WindowTitle() const;
    const std::string& StartupError() const { return startupError_; }

  private:
    bool LoadResources();
    bool CreateFrame();
    void RestoreAfterFailedOpen(const std::string& previousPath);
    void CheckTalkDirectory(const std::string& path);
    void UpdateTitle();
    void ShowMessage(const std::string& text);

    std::unique_ptr<Profile> ownProfile_;
    Profile* profile_ = nullptr;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::unique_ptr<QUndoStack> undo_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter* prompter_ = nullptr;
    std::optional<EditorOpeners> editors_;
    DialogTemplateSet templates_;
    FrameResources frameResources_;
    RecentFileList recentFiles_;
    std::unique_ptr<CMainFrame> frame_;
    CVoxbenchView* view_ = nullptr;
    std::string savedAsPath_;  // the name chosen at the first save of a document never opened
    std::string startupError_;

    // Keeps the title's modified marker with the document: every change ends in an update of
    // the views.
    class TitleFollower : public DocumentView {
      public:
        explicit TitleFollower(CVoxbenchApp& app) : app_(app) {}
        void OnUpdate() override { app_.UpdateTitle(); }

      private:
        CVoxbenchApp& app_;
    };
    TitleFollower titleFollower_{*this};
};

}  // namespace vox

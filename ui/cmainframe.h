#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "ui/frameresources.h"

class QLabel;
class QMenu;
class QToolBar;

namespace vox {

class CVoxbenchApp;
class CVoxbenchView;
class PhraseSearchDock;

// The main window: menu, accelerators, toolbar and status bar around the form. Commands go to
// the application, the document or the form; the frame itself only shows and hides its bars.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    CMainFrame(CVoxbenchApp& app, const FrameResources& resources);
    ~CMainFrame() override;

    // Builds the bars and puts the form in the middle; false when the resources lack a part
    // (the program then ends without a window).
    bool OnCreate(CVoxbenchView* view);

    // The action of a command id (menu item, accelerator or toolbar button), or null.
    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return toolBar_; }
    QLabel* MessagePane() const { return messagePane_; }
    PhraseSearchDock* PhraseSearch() const { return phraseSearch_; }
    void RebuildRecentFiles();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* MakeAction(int id, const std::string& text);
    QAction* MakeUndoAction(int id, const std::string& text);
    void BindCommands();
    void BuildMenus();
    bool BuildToolBar();
    void BuildStatusBar();
    void YieldMnemonicsToMenus();
    void AddAccelerators();
    void ConnectAutoPlay();
    void BuildPhraseSearch();

    CVoxbenchApp& app_;
    const FrameResources& resources_;
    CVoxbenchView* view_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    QMenu* recentMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;
    std::vector<QAction*> recentActions_;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    PhraseSearchDock* phraseSearch_ = nullptr;
};

}  // namespace vox

#include "ui/cmainframe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include "ui/commandids.h"
#include "ui/cverifyreportdlg.h"
#include "ui/cvoxbenchapp.h"
#include "ui/cvoxbenchview.h"
#include "ui/dialogs/chistorydlg.h"
#include "ui/documentcommands.h"
#include "ui/maintaincommands.h"
#include "ui/phrasesearchdock.h"
#include "workbench/document.h"

namespace vox {
namespace {

// The toolbar's button images, by command.
const std::map<int, const char*> kToolbarIcons = {
    {cmd::kFileOpen, ":/icons/open.xpm"},  {cmd::kEditCut, ":/icons/cut.xpm"},
    {cmd::kEditCopy, ":/icons/copy.xpm"},  {cmd::kEditPaste, ":/icons/paste.xpm"},
    {cmd::kAppAbout, ":/icons/about.xpm"}, {cmd::kAutoPlay, ":/icons/autoplay.xpm"},
};

// What a menu text shows before its tab; the shortcut column comes from the accelerators.
QString MenuText(const std::string& text) {
    return QString::fromStdString(text.substr(0, text.find('\t')));
}

QString ElidedPath(const std::string& path) {
    const QString native = QDir::toNativeSeparators(QString::fromStdString(path));
    constexpr int kMaxChars = 48;
    if (native.size() <= kMaxChars) return native;
    return native.left(12) + "..." + native.right(kMaxChars - 15);
}

}  // namespace

CMainFrame::CMainFrame(CVoxbenchApp& app, const FrameResources& resources)
    : app_(app), resources_(resources) {
    setObjectName("mainFrame");
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame() { qApp->removeEventFilter(this); }

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::OnCreate(CVoxbenchView* view) {
    view_ = view;
    if (!view_ || resources_.menus.empty()) return false;
    BindCommands();
    BuildMenus();
    YieldMnemonicsToMenus();
    AddAccelerators();
    if (!BuildToolBar()) return false;
    BuildStatusBar();
    ConnectAutoPlay();
    setCentralWidget(view_);
    BuildPhraseSearch();
    RebuildRecentFiles();
    // The form's fields would take Ctrl+A as "select all"; here it is the Auto Play command.
    qApp->installEventFilter(this);
    return true;
}

void CMainFrame::BindCommands() {
    CVoxbenchDoc& doc = app_.Document();
    handlers_ = {
        {cmd::kFileNew, [this] { app_.OnFileNew(); }},
        {cmd::kFileOpen, [this] { app_.OnFileOpen(); }},
        {cmd::kFileSave, [this] { app_.OnFileSave(); }},
        {cmd::kSaveEvalFile,
         [this, &doc] {
             if (OnSaveEvalFile(doc)) app_.TableSaved();
         }},
        {cmd::kSaveFragFile,
         [this, &doc] {
             if (OnSaveFragFile(doc)) app_.TableSaved();
         }},
        {cmd::kLoadPhrases, [&doc] { OnLoadPhrases(doc); }},
        {cmd::kLoadCommNames, [&doc] { OnLoadCommNames(doc); }},
        {cmd::kReinstallExport, [this, &doc] { ReinstallExport(doc, this); }},
        {cmd::kVerifyDatabase,
         [this, &doc] {
             VerifyDatabase(doc, this, [this](const QString& report) {
                 CVerifyReportDlg(report, this).exec();
             });
         }},
        {cmd::kCompactTalkFile, [this, &doc] { CompactTalk(doc, this, &app_.UndoStack()); }},
        {cmd::kHistory,
         [this, &doc] {
             if (doc.GetFragCount() == 0) {
                 doc.GetPrompter().ShowMessage("No Voxfile loaded!");
                 return;
             }
             RunHistoryDialog(this, doc, view_->CurrentFragment(), view_->FragmentVoice(),
                              &app_.UndoStack());
         }},
        {cmd::kFindFragInEval, [&doc] { OnFindFragInEval(doc); }},
        {cmd::kFindEvalInCommand, [&doc] { OnFindEvalInCommand(doc); }},
        {cmd::kFindFragInCommand, [&doc] { OnFindFragInCommand(doc); }},
        {cmd::kAppExit, [this] { close(); }},
        {cmd::kAppAbout, [this] { app_.OnAppAbout(); }},
        {cmd::kAutoPlay, [this] { view_->ToggleAutoPlay(); }},
    };
}

// Undo and Redo are the stack's own actions: they are enabled while there is something to undo
// or redo and name it ("Undo Replace fragment 3 voice 0").
QAction* CMainFrame::MakeUndoAction(int id, const std::string& text) {
    QUndoStack& stack = app_.UndoStack();
    const QString prefix =
        text.empty() ? (id == cmd::kEditUndo ? tr("&Undo") : tr("&Redo")) : MenuText(text);
    return id == cmd::kEditUndo ? stack.createUndoAction(this, prefix)
                                : stack.createRedoAction(this, prefix);
}

QAction* CMainFrame::MakeAction(int id, const std::string& text) {
    if (QAction* existing = Action(id)) return existing;
    const bool undoRedo = id == cmd::kEditUndo || id == cmd::kEditRedo;
    QAction* action = undoRedo ? MakeUndoAction(id, text) : new QAction(MenuText(text), this);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    action->setStatusTip(QString::fromStdString(resources_.StatusPrompt(id)));
    const std::string tip = resources_.ToolTip(id);
    if (!tip.empty()) action->setToolTip(QString::fromStdString(tip));
    const auto handler = handlers_.find(id);
    if (handler != handlers_.end()) {
        connect(action, &QAction::triggered, this, [fn = handler->second] { fn(); });
    } else if (id != cmd::kViewToolbar && id != cmd::kViewStatusBar && !undoRedo) {
        action->setEnabled(false);  // a command nobody handles is shown disabled
    }
    actions_[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    for (const MenuPopup& popup : resources_.menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromStdString(popup.text));
        for (const MenuEntry& entry : popup.entries) {
            if (entry.kind == MenuEntry::Kind::Separator) {
                menu->addSeparator();
            } else if (entry.kind == MenuEntry::Kind::RecentFiles) {
                recentMenu_ = menu;
                recentAnchor_ = menu->addAction(tr("Recent File"));
                recentAnchor_->setObjectName(QStringLiteral("cmd%1").arg(entry.id));
                recentAnchor_->setEnabled(false);
            } else {
                menu->addAction(MakeAction(entry.id, entry.text));
            }
        }
    }
}

// A form button whose mnemonic is also a menu's ("Add &Voice", "&View") would make Alt+V
// ambiguous, and Qt then only moves the focus. The menu keeps the key; the button its caption.
void CMainFrame::YieldMnemonicsToMenus() {
    QList<QKeySequence> menuKeys;
    for (QAction* menu : menuBar()->actions()) {
        const QKeySequence key = QKeySequence::mnemonic(menu->text());
        if (!key.isEmpty()) menuKeys.append(key);
    }
    for (QAbstractButton* button : view_->findChildren<QAbstractButton*>()) {
        if (menuKeys.contains(button->shortcut())) button->setShortcut(QKeySequence());
    }
}

void CMainFrame::AddAccelerators() {
    std::map<int, QList<QKeySequence>> keys;
    for (const Accelerator& accel : resources_.accelerators) {
        keys[accel.id].append(QKeySequence(QString::fromStdString(accel.keys)));
    }
    for (const auto& [id, sequences] : keys) {
        QAction* action = Action(id);
        if (!action) {
            action = MakeAction(id, "");
            addAction(action);  // an accelerator without a menu item still works in the window
        }
        action->setShortcuts(sequences);
    }
}

bool CMainFrame::BuildToolBar() {
    toolBar_ = addToolBar(tr("Toolbar"));
    if (!toolBar_) return false;
    toolBar_->setObjectName("toolBar");
    toolBar_->setIconSize(QSize(16, 15));
    for (int id : resources_.toolbar) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = MakeAction(id, "");
        const auto icon = kToolbarIcons.find(id);
        if (icon != kToolbarIcons.end()) action->setIcon(QIcon(icon->second));
        action->setIconVisibleInMenu(false);
        toolBar_->addAction(action);
    }
    QAction* toggle = MakeAction(cmd::kViewToolbar, "");
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, toolBar_, &QToolBar::setVisible);
    connect(toolBar_, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
    return true;
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    messagePane_ = new QLabel(tr("Ready"), bar);
    messagePane_->setObjectName("messagePane");
    bar->addWidget(messagePane_, 1);
    // QStatusBar hides its normal widgets under a message only when they are visible already;
    // the path shown on opening comes before the window is, and "Ready" would be drawn across it.
    connect(bar, &QStatusBar::messageChanged, messagePane_,
            [pane = messagePane_](const QString& message) { pane->setVisible(message.isEmpty()); });
    // No lock-key panes: a portable program cannot read the lock states, and panes that
    // show them lit or dimmed at random mislead.
    QAction* toggle = MakeAction(cmd::kViewStatusBar, "");
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::BuildPhraseSearch() {
    phraseSearch_ = new PhraseSearchDock(app_.Document(), this);
    addDockWidget(Qt::RightDockWidgetArea, phraseSearch_);
    phraseSearch_->hide();
    connect(view_, &CVoxbenchView::SearchPhraseRequested, phraseSearch_, &PhraseSearchDock::Open);
    connect(phraseSearch_, &PhraseSearchDock::PhraseChosen, view_, &CVoxbenchView::GoToPhrase);
    connect(phraseSearch_, &PhraseSearchDock::CommChosen, view_, &CVoxbenchView::GoToComm);
}

void CMainFrame::ConnectAutoPlay() {
    QAction* autoPlay = Action(cmd::kAutoPlay);
    if (!autoPlay) return;
    autoPlay->setCheckable(true);
    autoPlay->setChecked(view_->AutoPlay());
    autoPlay->setIconVisibleInMenu(false);
    // triggered() toggles the form's flag; the check mark follows the flag, not the click.
    connect(view_, &CVoxbenchView::AutoPlayChanged, autoPlay, &QAction::setChecked);
    connect(autoPlay, &QAction::triggered, autoPlay,
            [this, autoPlay] { autoPlay->setChecked(view_->AutoPlay()); });
}

void CMainFrame::RebuildRecentFiles() {
    if (!recentMenu_) return;
    for (QAction* action : recentActions_) {
        recentMenu_->removeAction(action);
        delete action;
    }
    recentActions_.clear();
    const std::vector<std::string>& files = app_.RecentFiles().Files();
    for (size_t i = 0; i < files.size(); ++i) {
        const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(ElidedPath(files[i]));
        auto* action = new QAction(text, this);
        action->setObjectName(QStringLiteral("cmd%1").arg(cmd::kRecentFile1 + static_cast<int>(i)));
        action->setStatusTip(QString::fromStdString(resources_.StatusPrompt(cmd::kRecentFile1)));
        const std::string path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { app_.OpenDocumentFile(path); });
        recentMenu_->insertAction(recentAnchor_, action);
        recentActions_.push_back(action);
    }
    recentAnchor_->setVisible(files.empty());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (app_.SaveModified())
        event->accept();
    else
        event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    // One document at a time: of several files dropped, the first local one is opened.
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        event->acceptProposedAction();
        activateWindow();
        app_.OpenDocumentFile(url.toLocalFile().toStdString());
        return;
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->matches(QKeySequence::SelectAll) && widget && widget->window() == this) {
            return true;  // not taken by the field, so the window's shortcut runs
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vox

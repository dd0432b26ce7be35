#pragma once

namespace vox::cmd {

// Command ids of the menu, the accelerators and the toolbar (resources/mainframe.txt).
constexpr int kAutoPlay = 32771;
constexpr int kSaveEvalFile = 32773;
constexpr int kSaveFragFile = 32774;
constexpr int kFindFragInEval = 32776;
constexpr int kFindEvalInCommand = 32777;
constexpr int kFindFragInCommand = 32779;
constexpr int kLoadPhrases = 32780;
constexpr int kLoadCommNames = 32781;
constexpr int kReinstallExport = 32782;
constexpr int kVerifyDatabase = 32783;
constexpr int kHistory = 32784;
constexpr int kCompactTalkFile = 32785;
constexpr int kFileNew = 57600;
constexpr int kFileOpen = 57601;
constexpr int kFileSave = 57603;
constexpr int kFilePrint = 57607;
constexpr int kRecentFile1 = 57616;
constexpr int kEditCopy = 57634;
constexpr int kEditCut = 57635;
constexpr int kEditPaste = 57637;
constexpr int kEditUndo = 57643;
constexpr int kEditRedo = 57644;
constexpr int kAppAbout = 57664;
constexpr int kAppExit = 57665;
constexpr int kNextPane = 57680;
constexpr int kPrevPane = 57681;
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;

}  // namespace vox::cmd

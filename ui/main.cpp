#include <QApplication>
#include <QIcon>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ui/cvoxbenchapp.h"

namespace {

constexpr const char* kUsage =
    "Usage: voxbench [QT-OPTIONS] [TALK]\n"
    "A desktop workbench for speech databases: opens the talk file TALK (*.vox), with\n"
    "fragFile.bin, evalFile.bin and commFile.bin beside it, or starts empty.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "  QT-OPTIONS     the standard options of Qt programs, for example -platform NAME\n"
    "\n"
    "voxtool does the same work from the command line; see voxbench(1) and voxtool(1).\n";

// --help and --version are answered before Qt starts: they need no display, and a script or
// a package check asking for them must not get a window.
int AnswerInformationOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) break;
        const bool help = std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
        const bool version = std::strcmp(argument, "--version") == 0;
        if (!help && !version) continue;
        if (help)
            std::fputs(kUsage, stdout);
        else
            std::printf("voxbench %s\n", VOXBENCH_VERSION);
        if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
        std::fprintf(stderr, "voxbench: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int answered = AnswerInformationOption(argc, argv);
    if (answered >= 0) return answered;
    QApplication application(argc, argv);
    QApplication::setApplicationName(vox::CVoxbenchApp::kAppTitle);
    QApplication::setOrganizationName("Voxbench");
    QApplication::setStyle("Fusion");
    QApplication::setWindowIcon(QIcon(":/icons/voxbench.png"));

    vox::CVoxbenchApp voxbench({});
    if (!voxbench.InitInstance(QApplication::arguments().mid(1))) return 1;
    const int result = QApplication::exec();
    voxbench.ExitInstance();
    return result;
}

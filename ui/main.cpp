#include <QApplication>
#include <QIcon>

#include "ui/cvoxbenchapp.h"

int main(int argc, char** argv) {
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

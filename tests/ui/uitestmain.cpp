#include <QApplication>

#include "tests/ui/uitests.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("voxbench");
    int failures = 0;
    failures += RunResourcesTest(argc, argv);
    failures += RunFormNavigationTest(argc, argv);
    failures += RunFormActionsTest(argc, argv);
    failures += RunFormRecordingsTest(argc, argv);
    failures += RunShellTest(argc, argv);
    failures += RunSequencePhraseMarksTest(argc, argv);
    failures += RunUserFaultsTest(argc, argv);
    failures += RunUndoTest(argc, argv);
    return failures == 0 ? 0 : 1;
}

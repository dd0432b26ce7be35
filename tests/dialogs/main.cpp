#include <QApplication>
#include <QTest>

#include "tests/dialogs/testregistry.h"

namespace vox::test {

std::vector<TestFactory>& TestClasses() {
    static std::vector<TestFactory> classes;
    return classes;
}

}  // namespace vox::test

// Several test classes in one program: every class runs, and the exit status counts the
// failed classes.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("voxbench");
    int failed = 0;
    for (const vox::test::TestFactory& make : vox::test::TestClasses()) {
        const std::unique_ptr<QObject> tests = make();
        if (QTest::qExec(tests.get(), argc, argv) != 0) ++failed;
    }
    return failed;
}

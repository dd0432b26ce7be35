#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace vox::test {

// The test classes of this program register themselves here; main runs them all in order.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory>& TestClasses();

template <typename T>
struct RegisterTest {
    RegisterTest() {
        TestClasses().push_back([] { return std::make_unique<T>(); });
    }
};

}  // namespace vox::test

#pragma once

#include <functional>
#include <string_view>

namespace vox {

// Named points at which an I/O step can be made to fail, so that tests reach the failure paths
// that a real disk rarely offers. Production code asks ShouldFail at each step; while nothing
// is armed that costs one atomic load.
//
// Points in use: "safefile.create", "safefile.write", "safefile.sync", "safefile.rename",
// "mappedfile.append". A second kind of point only runs a test's action when it is passed:
// "flush", passed just before every wait for the disk that makes a change durable, so that a
// test can start a second program while the first stands inside its slowest step.
namespace faults {

// The point lets passesBeforeFailure calls pass, then fails every call until disarmed.
void Arm(std::string_view point, int passesBeforeFailure = 0);
void Disarm(std::string_view point);
void DisarmAll();
bool ShouldFail(std::string_view point);

// The action runs once, the first time the point is passed, on the thread that passes it.
void ArmAction(std::string_view point, std::function<void()> action);
void Pass(std::string_view point);

}  // namespace faults
}  // namespace vox

#pragma once

#include <string_view>

namespace vox {

// Named points at which an I/O step can be made to fail, so that tests reach the failure paths
// that a real disk rarely offers. Production code asks ShouldFail at each step; while nothing
// is armed that costs one atomic load.
//
// Points in use: "safefile.create", "safefile.write", "safefile.sync", "safefile.rename",
// "mappedfile.append".
namespace faults {

// The point lets passesBeforeFailure calls pass, then fails every call until disarmed.
void Arm(std::string_view point, int passesBeforeFailure = 0);
void Disarm(std::string_view point);
void DisarmAll();
bool ShouldFail(std::string_view point);

}  // namespace faults
}  // namespace vox

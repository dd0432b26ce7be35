#include "talkdata/faultinjection.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace vox::faults {
namespace {

struct ArmedPoints {
    std::mutex lock;
    std::map<std::string, int, std::less<>> passesLeft;
    std::atomic<bool> anyArmed{false};
};

ArmedPoints& Points() {
    static ArmedPoints points;
    return points;
}

}  // namespace

void Arm(std::string_view point, int passesBeforeFailure) {
    ArmedPoints& points = Points();
    std::lock_guard<std::mutex> guard(points.lock);
    points.passesLeft[std::string(point)] = passesBeforeFailure < 0 ? 0 : passesBeforeFailure;
    points.anyArmed = true;
}

void Disarm(std::string_view point) {
    ArmedPoints& points = Points();
    std::lock_guard<std::mutex> guard(points.lock);
    auto it = points.passesLeft.find(point);
    if (it != points.passesLeft.end()) points.passesLeft.erase(it);
    points.anyArmed = !points.passesLeft.empty();
}

void DisarmAll() {
    ArmedPoints& points = Points();
    std::lock_guard<std::mutex> guard(points.lock);
    points.passesLeft.clear();
    points.anyArmed = false;
}

bool ShouldFail(std::string_view point) {
    ArmedPoints& points = Points();
    if (!points.anyArmed) return false;
    std::lock_guard<std::mutex> guard(points.lock);
    auto it = points.passesLeft.find(point);
    if (it == points.passesLeft.end()) return false;
    if (it->second > 0) {
        --it->second;
        return false;
    }
    return true;
}

}  // namespace vox::faults

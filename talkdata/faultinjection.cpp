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
    std::map<std::string, std::function<void()>, std::less<>> actions;
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
    points.anyArmed = !points.passesLeft.empty() || !points.actions.empty();
}

void DisarmAll() {
    ArmedPoints& points = Points();
    std::lock_guard<std::mutex> guard(points.lock);
    points.passesLeft.clear();
    points.actions.clear();
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

void ArmAction(std::string_view point, std::function<void()> action) {
    ArmedPoints& points = Points();
    std::lock_guard<std::mutex> guard(points.lock);
    points.actions[std::string(point)] = std::move(action);
    points.anyArmed = true;
}

void Pass(std::string_view point) {
    ArmedPoints& points = Points();
    if (!points.anyArmed) return;
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> guard(points.lock);
        auto it = points.actions.find(point);
        if (it == points.actions.end()) return;
        action = std::move(it->second);
        points.actions.erase(it);
        points.anyArmed = !points.passesLeft.empty() || !points.actions.empty();
    }
    // Outside the lock: the action may itself pass points or arm others.
    action();
}

}  // namespace vox::faults

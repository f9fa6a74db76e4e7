#include "plugin_objects.h"

#include <mutex>

namespace kestrin::python {
namespace {

std::mutex sessionMutex;
int lastSerial = 0;

}  // namespace

std::shared_ptr<host::Session> sharedSession() {
    std::lock_guard<std::mutex> lock(sessionMutex);
    // Never released: objects Python frees at exit may still reach it, and
    // each of them holds it too.
    static std::shared_ptr<host::Session> session;
    if (!session) session = std::make_shared<host::Session>();
    return session;
}

SessionHold::SessionHold() : session(sharedSession()) {
    std::lock_guard<std::mutex> lock(sessionMutex);
    names.tag = " " + std::to_string(++lastSerial);
}

WeightToolObject::WeightToolObject(const std::vector<Point3>& points, const Polygons& polygons,
                                   const drive::PluginSettings& settings)
    : drive::Strainmark(*session, points, polygons, settings, names) {}

void WeightToolObject::weights(const Point3* poses, size_t poseCount, float* out) {
    for (size_t i = 0; i < poseCount; ++i) compute(poses + i * pointCount(), out + i * pointCount());
}

StrainshaperObject::StrainshaperObject(const std::vector<Point3>& points, const Polygons& polygons,
                                       const std::vector<Point3>& stretch, const std::vector<Point3>& squash,
                                       const std::optional<std::vector<float>>& weightMap,
                                       const drive::PluginSettings& settings)
    : drive::Strainshaper(*session, points, polygons, stretch, squash, weightMap, settings, names) {}

void StrainshaperObject::displace(const Point3* poses, size_t poseCount, Point3* out) {
    for (size_t i = 0; i < poseCount; ++i) {
        drive::Strainshaper::displace(poses + i * pointCount(), out + i * pointCount());
    }
}

}  // namespace kestrin::python

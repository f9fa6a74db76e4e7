// The module's plug-in objects: each is one instance of a plug-in on its own
// object of the one scene the whole process shares, so two characters, or two
// settings side by side, are items of one host scene as in the host. The
// set-up itself is the driving layer's (drive/plugin_instances.h), as for the tool.
//
// Arrays reach these classes checked (by the package's Python layer): counts
// match the rest mesh and every coordinate is finite.
#ifndef KESTRIN_PYTHON_PLUGIN_OBJECTS_H
#define KESTRIN_PYTHON_PLUGIN_OBJECTS_H

#include <stddef.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin_instances.h"
#include "session.h"

namespace kestrin::python {

// The process-wide session, made when first asked for.
std::shared_ptr<host::Session> sharedSession();

// Holds the shared session for as long as an object lives: a base listed
// before the plug-in's, so it is made before the instance and released
// after it, whatever order Python frees things in.
struct SessionHold {
    SessionHold();
    std::shared_ptr<host::Session> session;
    // A tag no other object of the scene has: settings refer to objects by name.
    drive::ObjectNames names;
};

// Strainmark on a mesh.
class WeightToolObject : private SessionHold, public drive::Strainmark {
public:
    WeightToolObject(const std::vector<Point3>& points, const Polygons& polygons,
                     const drive::PluginSettings& settings);
    // poseCount poses of pointCount() positions each, one after the other,
    // into poseCount * pointCount() weights. Runs without the GIL: the caller
    // keeps both buffers alive.
    void weights(const Point3* poses, size_t poseCount, float* out);
};

// The Strainshaper effect on a mesh, with its targets and optional weight map.
class StrainshaperObject : private SessionHold, public drive::Strainshaper {
public:
    StrainshaperObject(const std::vector<Point3>& points, const Polygons& polygons,
                       const std::vector<Point3>& stretch, const std::vector<Point3>& squash,
                       const std::optional<std::vector<float>>& weightMap, const drive::PluginSettings& settings);
    // As WeightToolObject::weights, into poseCount * pointCount() positions.
    void displace(const Point3* poses, size_t poseCount, Point3* out);
};

}  // namespace kestrin::python

#endif

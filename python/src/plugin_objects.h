// The module's plug-in objects: each is one instance of a plug-in on its own
// object of the one scene the whole process shares, so two characters, or two
// settings side by side, are items of one host scene as in the host.
//
// Arrays reach these classes checked (by the package's Python layer): counts
// match the rest mesh and every coordinate is finite. What the classes still
// check is what would otherwise read out of bounds.
#ifndef KESTRIN_PYTHON_PLUGIN_OBJECTS_H
#define KESTRIN_PYTHON_PLUGIN_OBJECTS_H

#include <stddef.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin_runs.h"
#include "session.h"

namespace kestrin::python {

// The process-wide session, made when first asked for. Every object holds it,
// so it outlives the last of them whatever order Python frees things in.
std::shared_ptr<host::Session> sharedSession();

// A plug-in instance on an object of the shared scene.
class Attached {
public:
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;
    virtual ~Attached();

    // Destroys the instance (OBJ_DESTROY); later calls but close() throw.
    void close();
    bool closed() const { return !instance_.valid(); }
    size_t pointCount() const { return pointCount_; }

    void setChannel(const std::string& name, double value);
    double channel(const std::string& name) const;
    void setToggle(const std::string& label, bool on);
    bool toggle(const std::string& label) const;

    // The tool's settings files (kestrin --save-settings / --settings).
    void saveSettings(const std::string& path);
    virtual void loadSettings(const std::string& path);

protected:
    explicit Attached(size_t pointCount);
    // The instance, or std::invalid_argument (ValueError) when closed.
    const host::Instance& live() const;
    // A name no other object of the scene has: settings refer to objects by name.
    std::string uniqueName(const char* what) const;

    std::shared_ptr<host::Session> session_;
    host::Instance instance_;
    size_t pointCount_;
    int serial_;
};

// Strainmark on a mesh.
class WeightToolObject : public Attached {
public:
    // points: pointCount positions; polygons index them. The channel values,
    // then the check boxes, are set as given (settings.loadFrom and saveTo
    // are not used).
    WeightToolObject(std::vector<Point3> points, const Polygons& polygons, const tool::PluginSettings& settings);
    // poseCount poses of pointCount() positions each, one after the other,
    // into poseCount * pointCount() weights. Runs without the GIL's help:
    // the caller keeps both buffers alive.
    void weights(const Point3* poses, size_t poseCount, float* out);
};

// The Strainshaper effect on a mesh, with its targets and optional weight map.
class EffectObject : public Attached {
public:
    // Targets chosen, then the channel values set, then the setup pass, in
    // the order the tool and a user in the host follow. Targets and weight
    // map hold one entry per point.
    EffectObject(std::vector<Point3> points, const Polygons& polygons, std::vector<Point3> stretch,
                 std::vector<Point3> squash, std::optional<std::vector<float>> weightMap,
                 const tool::PluginSettings& settings);
    // As WeightToolObject::weights, into poseCount * pointCount() positions.
    void displace(const Point3* poses, size_t poseCount, Point3* out);
    // A file's own targets give way to this object's: they are chosen again
    // and the rest state captured again.
    void loadSettings(const std::string& path) override;

private:
    void chooseTargets();  // without the setup pass

    HostHandle stretch_ = 0;
    HostHandle squash_ = 0;
    HostHandle weightMap_ = 0;
};

}  // namespace kestrin::python

#endif

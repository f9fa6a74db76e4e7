// The two plug-ins as the tool runs them, over the simulator's session API:
// the settings the user gave applied as a user would (a settings file, then
// channel values, then check boxes), then one pose at a time. The rest of
// the tool reads meshes and writes files; it never computes tension itself.
#ifndef KESTRIN_TOOL_PLUGIN_RUNS_H
#define KESTRIN_TOOL_PLUGIN_RUNS_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mesh_data.h"
#include "session.h"

namespace kestrin::tool {

// What the user asked for on the command line or in a settings file. Only the
// settings given are applied; the plug-in's defaults stand for the rest.
struct PluginSettings {
    std::string loadFrom;  // --settings: a settings file to load first, or ""
    std::string saveTo;    // --save-settings: where to save after applying, or ""
    std::vector<std::pair<std::string, double>> channels;  // channel name -> value
    std::vector<std::pair<std::string, bool>> toggles;     // control label -> on/off
};

// Applies a settings file to an instance: a file of this plug-in loads whole;
// a file of the other plug-in gives its channels only (the five are the same),
// with a note on standard error that the rest does not apply.
void loadSettingsFile(host::Session& session, const host::Instance& instance, const std::string& path);
void saveSettingsFile(host::Session& session, const host::Instance& instance, const std::string& path);
// The text such a file holds.
std::string savedSettingsText(host::Session& session, const host::Instance& instance);

// Strainmark attached to one mesh.
class WeightTool {
public:
    WeightTool(host::Session& session, const MeshData& rest, const PluginSettings& settings);
    ~WeightTool();
    WeightTool(const WeightTool&) = delete;
    WeightTool& operator=(const WeightTool&) = delete;

    // The weight of every point for the mesh posed at `pose` (one position
    // per point of the rest mesh), into out (as many entries).
    void compute(const Point3* pose, float* out);
    std::vector<float> compute(const std::vector<Point3>& pose);
    const host::Instance& instance() const { return instance_; }

private:
    host::Session& session_;
    host::Instance instance_;
};

// The Strainshaper effect on one mesh, with its targets and optional weights.
class Morpher {
public:
    // Captures the rest state at once (the setup pass on the rest shape).
    Morpher(host::Session& session, const MeshData& rest, const std::vector<Point3>& stretchTarget,
            const std::vector<Point3>& squashTarget, const std::optional<std::vector<float>>& weightMap,
            const PluginSettings& settings);
    ~Morpher();
    Morpher(const Morpher&) = delete;
    Morpher& operator=(const Morpher&) = delete;

    // The corrected positions for the mesh posed at `pose`; the pose itself
    // where the effect displaced nothing.
    void displace(const Point3* pose, Point3* out);
    std::vector<Point3> displace(const std::vector<Point3>& pose);
    const host::Instance& instance() const { return instance_; }

private:
    host::Session& session_;
    host::Instance instance_;
};

}  // namespace kestrin::tool

#endif

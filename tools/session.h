// Everything the tool does through the host simulator, in one place: loading
// the plug-ins, building the scene, acting on channels and controls as a user
// would, saved settings, and the two computations. The rest of the tool
// reads meshes and writes files; it never computes tension itself.
#ifndef KESTRIN_TOOL_SESSION_H
#define KESTRIN_TOOL_SESSION_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host.h"
#include "mesh_data.h"

namespace kestrin::tool {

// The directory the running kestrin binary is in: where the build puts the
// plug-ins beside it.
std::string executableDirectory();

// File names of the plug-ins inside a plug-in directory.
extern const char* const strainmarkFile;
extern const char* const rimshaperFile;
extern const char* const providerFile;

// What the user asked for on the command line or in a settings file. Only the
// settings given are applied; the plug-in's defaults stand for the rest.
struct PluginSettings {
    std::string loadFrom;  // --settings: a settings file to load first, or ""
    std::string saveTo;    // --save-settings: where to save after applying, or ""
    std::vector<std::pair<std::string, double>> channels;  // channel name -> value
    std::vector<std::pair<std::string, bool>> toggles;     // control label -> on/off
};

// One host with the plug-ins of one run.
class Session {
public:
    explicit Session(std::string pluginDirectory);

    host::Host& host() { return host_; }
    const std::string& pluginDirectory() const { return pluginDirectory_; }

    // Loads a plug-in by path and checks that it registered. Throws ToolError
    // with the loader's reason or the plug-in's own message when entry fails.
    int load(const std::string& path);
    // The same for a file of the plug-in directory.
    int loadFromDirectory(const std::string& fileName);

private:
    host::Host host_;
    std::string pluginDirectory_;
};

// Strainmark attached to one mesh.
class WeightTool {
public:
    WeightTool(Session& session, const MeshData& rest, const PluginSettings& settings);
    ~WeightTool();
    WeightTool(const WeightTool&) = delete;
    WeightTool& operator=(const WeightTool&) = delete;

    // The weight of every point for the mesh posed at `pose` (one position
    // per point of the rest mesh).
    std::vector<float> compute(const std::vector<Point3>& pose);

private:
    Session& session_;
    int module_;
    HostHandle item_;
};

// The Strainshaper effect on one mesh, with its targets and optional weights.
class Morpher {
public:
    // Captures the rest state at once (the setup pass on the rest shape).
    Morpher(Session& session, const MeshData& rest, const MeshData& stretchTarget,
            const MeshData& squashTarget, const std::optional<std::vector<float>>& weightMap,
            const PluginSettings& settings);
    ~Morpher();
    Morpher(const Morpher&) = delete;
    Morpher& operator=(const Morpher&) = delete;

    // The corrected positions for the mesh posed at `pose`; the pose itself
    // when the effect displaced nothing.
    std::vector<Point3> displace(const std::vector<Point3>& pose);

private:
    void configure(Session& session, HostHandle stretch, HostHandle squash, HostHandle map,
                   const PluginSettings& settings);

    Session& session_;
    int module_;
    HostHandle item_;
};

}  // namespace kestrin::tool

#endif

// Saved settings files, as a user keeps them between runs: any bytes, read
// both as the simulator's settings file and through the kestrin tool's
// --settings (its own file format with the plug-in's block inside).
//
// Checked for every input: a file is either refused with the reader's own
// error (a ToolError in the tool; false with a reason in the simulator) or
// read whole; what is read loads into both plug-ins, which then compute only
// finite weights and positions, answer 0 and save a block that reads back to
// itself; the tool's run releases its instance whether the file was good or
// not.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_host.h"
#include "messages.h"
#include "session.h"
#include "settings.h"
#include "tool_error.h"

namespace kestrin::fuzz {
namespace {

namespace fs = std::filesystem;

// The box of tests/data, small enough to run on every input.
const std::vector<Point3> boxPoints = {{-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1},
                                       {1, -1, 1},  {1, -1, -1},  {1, 1, -1},  {1, 1, 1}};
const std::vector<std::vector<int32_t>> boxFaces = {{3, 2, 1, 0}, {1, 5, 4, 0}, {2, 6, 5, 1},
                                                    {7, 6, 2, 3}, {4, 7, 3, 0}, {5, 6, 7, 4}};

std::vector<Point3> stretched(double r) {
    std::vector<Point3> out = boxPoints;
    for (Point3& p : out) p.x *= r;
    return out;
}

// A directory where the tool finds the plug-ins under their usual names: links
// to the built libraries, so that the very libraries loaded already are used.
const std::string& pluginDirectory() {
    static std::string directory;
    if (!directory.empty()) return directory;
    directory = scratchPath("plugins");
    fs::create_directories(directory);
    std::error_code ignored;
    fs::create_symlink(STRAINMARK_PATH, fs::path(directory) / tool::strainmarkFile, ignored);
    fs::create_symlink(RIMSHAPER_PATH, fs::path(directory) / tool::rimshaperFile, ignored);
    fs::create_symlink(TANGENTSPACE_PATH, fs::path(directory) / tool::providerFile, ignored);
    return directory;
}

const std::string& inputPath() {
    static const std::string path = scratchPath("settings.json");
    return path;
}

void requireRoundTrip(const host::SettingsContext& context, const host::Scene& scene) {
    const nlohmann::json saved = host::settingsToJson(context, scene);
    host::SettingsContext again;
    std::string error;
    require(host::settingsFromJson(saved, scene, &again, &error), "a saved block reads back");
    require(host::settingsToJson(again, scene) == saved, "a saved block reads back unchanged");
}

// The file as the simulator reads it, loaded into both plug-ins.
void throughTheSimulator(const std::string& path) {
    host::Host host;
    const LoadedPlugins plugins = loadPlugins(host);
    const HostHandle weighed = host.scene.addObject("Sphere", host::Mesh(boxPoints, boxFaces));
    const HostHandle shaped = host.scene.addObject("Target", host::Mesh(boxPoints, boxFaces));
    host.scene.addWeightMap(shaped, "Mask");

    host::SettingsContext context;
    std::string error;
    if (!context.readFile(path, host.scene, &error)) {
        require(!error.empty(), "a refused file has a reason");
        return;
    }
    requireRoundTrip(context, host.scene);

    require(host.send(plugins.strainmark, weighed, MSG_OBJECT, OBJ_CREATE) == 0, "answered 0");
    require(host.send(plugins.rimshaper, shaped, MSG_OBJECT, OBJ_CREATE) == 0, "answered 0");
    require(host.loadInstance(plugins.strainmark, weighed, context) == 0, "OBJ_LOAD answered 0");
    require(host.loadInstance(plugins.rimshaper, shaped, context) == 0, "OBJ_LOAD answered 0");
    host.scene.object(weighed)->mesh.setCurrent(stretched(1.5));
    host.computeWeights(plugins.strainmark, weighed, "Tension");
    require(host.setupEffect(plugins.rimshaper, shaped) == 0, "EFFECT_SETUP answered 0");
    host.scene.object(shaped)->mesh.setCurrent(stretched(0.5));
    require(host.displaceEffect(plugins.rimshaper, shaped) == 0, "EFFECT_DISPLACE answered 0");
    checkHandedValues(host);

    for (const auto& [module, item] : {std::pair{plugins.strainmark, weighed}, std::pair{plugins.rimshaper, shaped}}) {
        host::SettingsContext saved;
        require(host.saveInstance(module, item, saved) == 0, "OBJ_SAVE answered 0");
        requireRoundTrip(saved, host.scene);
    }
    closeScene(host, plugins);
}

// The file given to the tool's --settings, for both of its computations.
void throughTheTool(const std::string& path) {
    tool::MeshData rest;
    rest.points = boxPoints;
    for (const std::vector<int32_t>& face : boxFaces) rest.polygons.add(face.data(), face.size());
    tool::PluginSettings settings;
    settings.loadFrom = path;
    try {
        tool::Session session(pluginDirectory());
        tool::WeightTool weights(session, rest, settings);
        for (float w : weights.compute(stretched(1.5))) require(std::isfinite(w), "tool weights are finite");
        require(session.host().attachedRecords() == 1, "the tool's one instance is attached");
    } catch (const tool::ToolError&) {
    }
    try {
        tool::Session session(pluginDirectory());
        tool::MeshData target = rest;
        target.points = stretched(2.0);
        tool::Morpher morpher(session, rest, target, rest, std::nullopt, settings);
        for (const Point3& p : morpher.displace(stretched(1.5))) {
            require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z),
                    "tool positions are finite");
        }
    } catch (const tool::ToolError&) {
    }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin::fuzz;
    const std::string& path = inputPath();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    throughTheSimulator(path);
    throughTheTool(path);
    return 0;
}

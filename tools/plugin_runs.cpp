#include "plugin_runs.h"

#include <cstdio>

#include "atomic_file.h"
#include "formats/settings_file.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

const char* const meshName = "mesh";
const char* const weightMapName = "weights";

// Session failures are the user's to read, as the tool's own errors are.
template <typename F>
auto asToolError(F&& f) {
    try {
        return f();
    } catch (const host::SessionError& error) {
        throw ToolError(error.what());
    }
}

void applySettings(host::Session& session, const host::Instance& instance, const PluginSettings& settings) {
    if (!settings.loadFrom.empty()) loadSettingsFile(session, instance, settings.loadFrom);
    asToolError([&] {
        for (const auto& [name, value] : settings.channels) session.setChannel(instance, name, value);
        for (const auto& [label, on] : settings.toggles) session.setToggle(instance, label, on);
    });
    if (!settings.saveTo.empty()) saveSettingsFile(session, instance, settings.saveTo);
}

// Destroys the instance when the constructor that made it throws: bad
// settings leave no record behind.
template <typename F>
void orDestroy(host::Session& session, host::Instance& instance, F&& f) {
    try {
        f();
    } catch (...) {
        session.destroy(instance);
        throw;
    }
}

}  // namespace

void loadSettingsFile(host::Session& session, const host::Instance& instance, const std::string& path) {
    host::SavedSettings settings = readSettingsFile(path);
    const std::string plugin = session.pluginName(instance.plugin);
    const bool ours = settings.module == "Strainmark" || settings.module == "Strainshaper";
    if (!settings.module.empty() && settings.module != plugin && !ours) {
        throw ToolError(path + ": holds settings of \"" + settings.module + "\", not of " + plugin);
    }
    if (!settings.module.empty() && settings.module != plugin) {
        // Both plug-ins share the five tension channels; nothing else of the
        // other's settings means anything here.
        std::fprintf(stderr,
                     "kestrin: note: %s holds settings of %s: only its channel values apply to %s\n",
                     path.c_str(), settings.module.c_str(), plugin.c_str());
        settings.module = plugin;
        settings.blocks.clear();
        asToolError([&] {
            for (const auto& [name, value] : settings.channels) session.setChannel(instance, name, value);
        });
        return;
    }
    try {
        session.load(instance, settings);
    } catch (const host::SessionError& error) {
        throw ToolError(path + ": " + error.what());
    }
}

std::string savedSettingsText(host::Session& session, const host::Instance& instance) {
    return settingsToText(asToolError([&] { return session.save(instance); }));
}

void saveSettingsFile(host::Session& session, const host::Instance& instance, const std::string& path) {
    writeFileAtomically(path, savedSettingsText(session, instance));
}

WeightTool::WeightTool(host::Session& session, const MeshData& rest, const PluginSettings& settings)
    : session_(session) {
    asToolError([&] {
        const HostHandle item = session.addObject(meshName, rest.points, rest.polygons);
        instance_ = session.addStrainmark(item);
    });
    orDestroy(session, instance_, [&] { applySettings(session, instance_, settings); });
}

WeightTool::~WeightTool() { session_.destroy(instance_); }

void WeightTool::compute(const Point3* pose, float* out) {
    asToolError([&] { session_.computeWeights(instance_, pose, out); });
}

std::vector<float> WeightTool::compute(const std::vector<Point3>& pose) {
    return asToolError([&] { return session_.computeWeights(instance_, pose); });
}

Morpher::Morpher(host::Session& session, const MeshData& rest, const std::vector<Point3>& stretchTarget,
                 const std::vector<Point3>& squashTarget, const std::optional<std::vector<float>>& weightMap,
                 const PluginSettings& settings)
    : session_(session) {
    HostHandle stretch = 0;
    HostHandle squash = 0;
    HostHandle map = 0;
    asToolError([&] {
        const Polygons& polygons = rest.polygons;
        const HostHandle item = session.addObject(meshName, rest.points, polygons);
        stretch = session.addObject("stretch target", stretchTarget, polygons);
        squash = session.addObject("squash target", squashTarget, polygons);
        if (weightMap) map = session.addWeightMap(item, weightMapName, *weightMap);
        instance_ = session.addStrainshaper(item);
    });
    // A settings file may choose targets too; those given here are the user's
    // latest choice, so they come after it, and the explicit channel values
    // and check boxes after both. The setup pass then captures the rest state.
    orDestroy(session, instance_, [&] {
        if (!settings.loadFrom.empty()) loadSettingsFile(session, instance_, settings.loadFrom);
        PluginSettings then = settings;
        then.loadFrom.clear();
        asToolError([&] {
            session.choose(instance_, host::stretchObjectPopup, stretch);
            session.choose(instance_, host::squashObjectPopup, squash);
            if (map != 0) session.choose(instance_, host::weightMapPopup, map);
        });
        applySettings(session, instance_, then);
        asToolError([&] { session.setupEffect(instance_); });
    });
}

Morpher::~Morpher() { session_.destroy(instance_); }

void Morpher::displace(const Point3* pose, Point3* out) {
    asToolError([&] { session_.displace(instance_, pose, out); });
}

std::vector<Point3> Morpher::displace(const std::vector<Point3>& pose) {
    return asToolError([&] { return session_.displace(instance_, pose); });
}

}  // namespace kestrin::tool

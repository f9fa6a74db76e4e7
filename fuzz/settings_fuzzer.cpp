// Saved settings files, as a user keeps them between runs: any bytes, read
// by the settings file reader into a session, and through the driving layer
// as the kestrin tool's --settings and the module's load_settings use it.
//
// Checked for every input: a file is either refused with the reader's own
// error (a FormatError naming the file) or read whole; what is read loads into
// both plug-ins, which then compute only finite weights and positions and
// save settings that read back to themselves; the tool's run releases its
// instance whether the file was good or not.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings_file.h"
#include "fuzz_host.h"
#include "files/format_error.h"
#include "plugin_instances.h"
#include "session.h"

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
    fs::create_symlink(STRAINMARK_PATH, fs::path(directory) / host::Session::strainmarkFile, ignored);
    fs::create_symlink(RIMSHAPER_PATH, fs::path(directory) / host::Session::rimshaperFile, ignored);
    fs::create_symlink(TANGENTSPACE_PATH, fs::path(directory) / host::Session::providerFile, ignored);
    return directory;
}

const std::string& inputPath() {
    static const std::string path = scratchPath("settings.json");
    return path;
}

void requireFinite(const std::vector<float>& weights) {
    for (float w : weights) require(std::isfinite(w), "weights are finite");
}

void requireFinite(const std::vector<Point3>& positions) {
    for (const Point3& p : positions) {
        require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "positions are finite");
    }
}

// What is read writes back to text that reads back to the same text.
void requireRoundTrip(const host::SavedSettings& settings) {
    const std::string text = drive::settingsToText(settings);
    require(drive::settingsToText(drive::settingsFromText(text, "saved")) == text,
            "saved settings read back unchanged");
}

Polygons packedBox() {
    Polygons polygons;
    for (const auto& face : boxFaces) polygons.add(face.data(), face.size());
    return polygons;
}

// The file as a driver reads it, loaded into both plug-ins through the
// session: whatever it holds, they compute finite values and save settings
// that read back to themselves.
void throughTheSession(const std::string& path) {
    host::SavedSettings settings;
    try {
        settings = drive::readSettingsFile(path);
    } catch (const formats::FormatError& error) {
        require(std::string(error.what()).find(path) == 0, "a refused file is named in the reason");
        return;
    }
    requireRoundTrip(settings);

    host::Session session(pluginDirectory());
    const HostHandle weighed = session.addObject("Sphere", boxPoints, packedBox());
    const HostHandle shaped = session.addObject("Target", boxPoints, packedBox());
    session.addWeightMap(shaped, "Mask", std::vector<float>(boxPoints.size(), 0.5f));
    const host::Instance tool = session.addStrainmark(weighed);
    const host::Instance effect = session.addStrainshaper(shaped);
    for (const host::Instance& instance : {tool, effect}) {
        host::SavedSettings mine = settings;
        mine.module = session.pluginName(instance.plugin);
        try {
            session.load(instance, mine);
        } catch (const host::SessionError&) {
            // A channel this plug-in does not have: refused by name.
        }
    }
    requireFinite(session.computeWeights(tool, stretched(1.5)));
    session.setupEffect(effect);
    requireFinite(session.displace(effect, stretched(0.5)));
    for (const host::Instance& instance : {tool, effect}) requireRoundTrip(session.save(instance));
}

// The file given as a settings file to both plug-ins set up as a user does.
void throughTheDrivers(const std::string& path) {
    Polygons polygons;
    for (const std::vector<int32_t>& face : boxFaces) polygons.add(face.data(), face.size());
    drive::PluginSettings settings;
    settings.loadFrom = path;
    try {
        host::Session session(pluginDirectory());
        drive::Strainmark weights(session, boxPoints, polygons, settings);
        requireFinite(weights.compute(stretched(1.5)));
        require(session.attachedRecords() == 1, "the one instance is attached");
    } catch (const formats::FormatError&) {
    } catch (const host::SessionError&) {
    }
    try {
        host::Session session(pluginDirectory());
        drive::Strainshaper effect(session, boxPoints, polygons, stretched(2.0), boxPoints, std::nullopt, settings);
        requireFinite(effect.displace(stretched(1.5)));
    } catch (const formats::FormatError&) {
    } catch (const host::SessionError&) {
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
    throughTheSession(path);
    throughTheDrivers(path);
    return 0;
}

#include "plugin_instances.h"

#include <cmath>
#include <utility>

#include "files/atomic_file.h"
#include "files/format_error.h"
#include "setting_lists.h"
#include "settings_file.h"

namespace kestrin::drive {

Attached::Attached(host::Session& session, size_t pointCount) : session_(session), pointCount_(pointCount) {}

Attached::~Attached() { close(); }

void Attached::close() {
    if (instance_.valid()) session_.destroy(instance_);
    // Newest first: a weight map goes with its object.
    while (!owned_.empty()) {
        session_.removeObject(owned_.back());
        owned_.pop_back();
    }
}

HostHandle Attached::own(HostHandle object) {
    owned_.push_back(object);
    return object;
}

const host::Instance& Attached::live() const {
    if (!instance_.valid()) throw host::SessionError("the plug-in instance is closed");
    return instance_;
}

template <typename F>
void Attached::orDestroy(F&& f) {
    try {
        f();
    } catch (...) {
        session_.destroy(instance_);
        throw;
    }
}

void Attached::apply(const PluginSettings& settings) {
    if (!settings.loadFrom.empty()) loadFile(settings.loadFrom);
    for (const auto& [name, value] : settings.channels) session_.setChannel(instance_, name, value);
    for (const auto& [label, on] : settings.toggles) session_.setToggle(instance_, label, on);
}

void Attached::setChannel(const std::string& name, double value) { session_.setChannel(live(), name, value); }
double Attached::channel(const std::string& name) const { return session_.channel(live(), name); }
void Attached::setToggle(const std::string& label, bool on) { session_.setToggle(live(), label, on); }
bool Attached::toggle(const std::string& label) const { return session_.toggle(live(), label); }

std::string Attached::settingsText() { return settingsToText(session_.save(live())); }

void Attached::saveSettings(const std::string& path) { formats::writeFileAtomically(path, settingsText()); }

template <typename F>
void Attached::orRestore(F&& f) {
    const host::SavedSettings before = session_.save(live());
    try {
        f();
    } catch (...) {
        session_.load(instance_, before);
        afterLoad();
        throw;
    }
}

void Attached::loadSettings(const std::string& path) {
    host::SavedSettings settings = readSettingsFile(path);
    orRestore([&] {
        loadChecked(path, settings);
        afterLoad();
    });
}

void Attached::loadFile(const std::string& path) { loadChecked(path, readSettingsFile(path)); }

namespace {

// The values a settings file may hold are those the setters take: finite.
void requireFinite(const std::string& path, const host::SavedSettings& settings) {
    for (const auto& [name, value] : settings.channels) {
        if (!std::isfinite(value)) throw formats::FormatError(path + ": channel \"" + name + "\" is not a finite number");
    }
    for (const host::SavedSettingsBlock& block : settings.blocks) {
        for (const host::SavedSetting& value : block.values) {
            if (value.type == host::SavedSetting::Type::Double && !std::isfinite(value.doubleValue)) {
                throw formats::FormatError(path + ": \"" + value.key + "\" is not a finite number");
            }
        }
    }
}

HostHandle addRestObject(host::Session& session, const std::string& name, const std::vector<Point3>& points,
                         const Polygons& polygons, RestPoints rest) {
    return rest == RestPoints::lent ? session.addObjectLent(name, points, polygons)
                                    : session.addObject(name, points, polygons);
}

}  // namespace

void Attached::loadChecked(const std::string& path, const host::SavedSettings& settings) {
    requireFinite(path, settings);
    loadNote_.clear();
    const host::Instance& instance = live();
    const std::string plugin = session_.pluginName(instance.plugin);
    const bool ours =
        settings.module == "Strainmark" || settings.module == "Strainshaper" || settings.module == "Grainmark";
    if (!settings.module.empty() && settings.module != plugin && !ours) {
        throw formats::FormatError(path + ": holds settings of \"" + settings.module + "\", not of " + plugin);
    }
    if (!settings.module.empty() && settings.module != plugin) {
        // The plug-ins share the five tension channels; nothing else of the
        // other's settings (Grainmark's axis among them) means anything here.
        loadNote_ = path + " holds settings of " + settings.module + ": only its tension channel values apply to " +
                    plugin;
        for (const auto& [name, value] : settings.channels) {
            if (isTensionChannel(name)) session_.setChannel(instance, name, value);
        }
        return;
    }
    try {
        session_.load(instance, settings);
    } catch (const host::SessionError& error) {
        throw formats::FormatError(path + ": " + error.what());
    }
}

WeightTool::WeightTool(WeightToolKind kind, host::Session& session, const std::vector<Point3>& points,
                       const Polygons& polygons, const PluginSettings& settings, const ObjectNames& names,
                       RestPoints rest)
    : Attached(session, points.size()) {
    const HostHandle item = own(addRestObject(session, names("mesh"), points, polygons, rest));
    instance_ = kind == WeightToolKind::Grainmark ? session.addGrainmark(item) : session.addStrainmark(item);
    orDestroy([&] { apply(settings); });
}

void WeightTool::compute(const Point3* pose, float* out) { session_.computeWeights(live(), pose, out); }

std::vector<float> WeightTool::compute(const std::vector<Point3>& pose) {
    return session_.computeWeights(live(), pose);
}

Strainshaper::Strainshaper(host::Session& session, const std::vector<Point3>& points, const Polygons& polygons,
                           std::vector<Point3> stretchTarget, std::vector<Point3> squashTarget,
                           const std::optional<std::vector<float>>& weightMap, const PluginSettings& settings,
                           const ObjectNames& names, SetupPass setupPass, RestPoints rest)
    : Attached(session, points.size()) {
    if (stretchTarget.size() != pointCount_ || squashTarget.size() != pointCount_ ||
        (weightMap && weightMap->size() != pointCount_)) {
        throw host::SessionError("targets and weight map need one entry per point of the mesh");
    }
    const HostHandle item = own(addRestObject(session, names("mesh"), points, polygons, rest));
    stretch_ = own(session.addObject(names("stretch target"), std::move(stretchTarget), polygons));
    squash_ = own(session.addObject(names("squash target"), std::move(squashTarget), polygons));
    if (weightMap) weightMap_ = session.addWeightMap(item, names("weights"), *weightMap);
    instance_ = session.addStrainshaper(item);
    // A settings file may choose targets too; those given here are the
    // user's latest choice, so they come after it, and the explicit channel
    // values and check boxes after both.
    orDestroy([&] {
        if (!settings.loadFrom.empty()) loadFile(settings.loadFrom);
        chooseTargets();
        PluginSettings then = settings;
        then.loadFrom.clear();
        apply(then);
        if (setupPass == SetupPass::Now) capture();
    });
}

void Strainshaper::chooseTargets() {
    const host::Instance& instance = live();
    session_.choose(instance, host::stretchObjectPopup, stretch_);
    session_.choose(instance, host::squashObjectPopup, squash_);
    // Always chosen, none included: a loaded file's weight map never stays.
    session_.choose(instance, host::weightMapPopup, weightMap_);
}

void Strainshaper::capture() { session_.setupEffect(live()); }

void Strainshaper::displace(const Point3* pose, Point3* out) { session_.displace(live(), pose, out); }

std::vector<Point3> Strainshaper::displace(const std::vector<Point3>& pose) {
    return session_.displace(live(), pose);
}

void Strainshaper::afterLoad() {
    chooseTargets();
    capture();
}

}  // namespace kestrin::drive

#include "session.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>

#include "host.h"
#include "messages.h"
#include "turn_lock.h"

namespace kestrin::host {

const char* const Session::strainmarkFile = "Strainmark.so";
const char* const Session::rimshaperFile = "Rimshaper.so";
const char* const Session::grainmarkFile = "Grainmark.so";
const char* const Session::providerFile = "TangentSpace.so";

const char* const stretchObjectPopup = "Stretch object";
const char* const squashObjectPopup = "Squash object";
const char* const weightMapPopup = "Weight";

namespace {

// The weight map a scan fills on the scanned object.
const char* const scanMapName = "weights";

std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

struct Session::State {
    TurnLock mutex;
    Host host;
    // Canonical path -> module index: a library is entered once per host.
    std::map<std::string, int> loaded;
    std::vector<bool> panelBuilt;
    std::vector<Instance> live;
};

Host& simulatorOf(Session& session) { return session.state_->host; }

Session::Session(std::string pluginDirectory)
    : pluginDirectory_(pluginDirectory.empty() ? defaultPluginDirectory() : std::move(pluginDirectory)),
      state_(std::make_unique<State>()) {}

Session::~Session() {
    std::lock_guard<TurnLock> lock(state_->mutex);
    // Newest first, as a scene closes.
    while (!state_->live.empty()) destroy(state_->live.back());
}

void Session::holdForFork() { state_->mutex.lock(); }

void Session::releaseInParent() { state_->mutex.unlock(); }

void Session::resetInChild() {
    // The lock belongs to the thread that forked, under the parent's thread
    // id, and other threads' turns were taken in the parent. Nobody else
    // runs in the child to hold it.
    state_->mutex.resetInChild();
}

std::string Session::defaultPluginDirectory() {
    Dl_info info{};
    link_map* map = nullptr;
    const bool found = dladdr1(reinterpret_cast<void*>(&Session::defaultPluginDirectory), &info,
                               reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0;
    // The main program's link map has no name: the simulator is linked into
    // the running executable, which the kernel names.
    std::string file;
    if (found && map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        file = canonical(map->l_name);
    } else {
        std::error_code error;
        file = std::filesystem::read_symlink("/proc/self/exe", error).string();
        if (error) return ".";
    }
    const std::filesystem::path directory = std::filesystem::path(file).parent_path();
    return directory.empty() ? "." : directory.string();
}

namespace {

// A bare file name is looked for in the plug-in directory; anything with a
// folder in it is taken as it stands.
std::string resolve(const std::string& directory, const std::string& file) {
    if (file.find('/') != std::string::npos) return file;
    return (std::filesystem::path(directory) / file).string();
}

}  // namespace

Plugin Session::loadPlugin(const std::string& file) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    const std::string path = resolve(pluginDirectory_, file);
    const std::string key = canonical(path);
    if (auto found = state_->loaded.find(key); found != state_->loaded.end()) return {found->second};

    std::string error;
    const size_t shownBefore = host.shown.size();
    const int module = host.load(path, &error);
    if (module < 0) throw SessionError(path + ": cannot load plug-in: " + error);
    const LoadedModule& loaded = host.module(module);
    if (loaded.entryResult != 0 || !loaded.registered()) {
        std::string message = path + ": plug-in entry failed with " + std::to_string(loaded.entryResult);
        for (size_t i = shownBefore; i < host.shown.size(); ++i) {
            message += "\n  " + host.shown[i].title + ": " + host.shown[i].text;
        }
        throw SessionError(message);
    }
    state_->loaded[key] = module;
    state_->panelBuilt.resize(host.moduleCount(), false);
    return {module};
}

void Session::loadProvider(const std::string& file) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    const std::string path = resolve(pluginDirectory_, file);
    std::string error;
    if (!state_->host.provider.load(path, &error)) {
        throw SessionError(path + ": cannot load the tangent-space provider: " + error);
    }
    // Plug-ins fetch the provider's functions when the host links them.
    state_->host.linkModules();
}

std::string Session::pluginName(Plugin plugin) const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    if (plugin.index < 0 || plugin.index >= state_->host.moduleCount()) return "";
    return state_->host.module(plugin.index).name;
}

PluginInfo Session::pluginInfo(Plugin plugin) const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    PluginInfo info;
    if (plugin.index < 0 || plugin.index >= state_->host.moduleCount()) return info;
    const LoadedModule& module = state_->host.module(plugin.index);
    info.path = module.path;
    info.registration = module.registration();
    info.messageClasses = module.access.size();
    return info;
}

HostHandle Session::addObject(const std::string& name, std::vector<Point3> points,
                              const Polygons& polygons) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Scene& scene = state_->host.scene;
    // A deformer's targets have their mesh's polygons: one topology for all.
    for (const SceneObject& other : scene.objects()) {
        if (other.mesh.hasTopology(points.size(), polygons)) {
            return scene.addObject(name, other.mesh.withPoints(std::move(points)));
        }
    }
    return scene.addObject(name, Mesh::packed(std::move(points), polygons));
}

HostHandle Session::addObjectLent(const std::string& name, const std::vector<Point3>& points,
                                  const Polygons& polygons) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Scene& scene = state_->host.scene;
    for (const SceneObject& other : scene.objects()) {
        if (other.mesh.hasTopology(points.size(), polygons)) {
            return scene.addObject(name, other.mesh.withLentPoints(points.data(), points.size()));
        }
    }
    return scene.addObject(name, Mesh::packedLent(points.data(), points.size(), polygons));
}

HostHandle Session::addWeightMap(HostHandle object, const std::string& name, std::vector<float> values) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Scene& scene = state_->host.scene;
    if (scene.object(object) == nullptr) throw SessionError("no object " + std::to_string(object) + " in the scene");
    const HostHandle map = scene.addWeightMap(object, name);
    scene.weightMap(map)->values = std::move(values);
    return map;
}

size_t Session::pointCount(HostHandle object) const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    const SceneObject* found = state_->host.scene.object(object);
    return found != nullptr ? static_cast<size_t>(found->mesh.pointCount()) : 0;
}

void Session::removeObject(HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    for (const Instance& instance : state_->live) {
        if (instance.item == object) {
            throw SessionError("object " + std::to_string(object) + " still has a plug-in instance on it");
        }
    }
    Host& host = state_->host;
    const SceneObject* found = host.scene.object(object);
    if (found == nullptr) throw SessionError("no object " + std::to_string(object) + " in the scene");
    // The provider keeps a tangent space per (mesh, target) an effect
    // scanned, and plug-ins never release theirs: the host lets them go with
    // the mesh, whose handle is never given again.
    using Fetch = TangentSpaceHandle (*)(HostHandle, uint32_t);
    using Delete = int32_t (*)(TangentSpaceHandle);
    auto fetch = reinterpret_cast<Fetch>(host.published("useful_FetchTangentSpace"));
    auto release = reinterpret_cast<Delete>(host.published("useful_DeleteTangentSpace"));
    if (fetch != nullptr && release != nullptr) {
        const uint32_t targets = static_cast<uint32_t>(std::max<size_t>(found->targets.size(), 1));
        host.callInto(-1, [&] {
            for (uint32_t target = 0; target < targets; ++target) {
                if (TangentSpaceHandle space = fetch(object, target)) release(space);
            }
        });
    }
    host.scene.removeObject(object);
}

Instance Session::create(Plugin plugin, HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    if (plugin.index < 0 || plugin.index >= host.moduleCount()) throw SessionError("no such plug-in");
    if (host.scene.object(object) == nullptr) throw SessionError("no object " + std::to_string(object) + " in the scene");
    host.send(plugin.index, object, MSG_OBJECT, OBJ_CREATE);
    // The host links its plug-ins to the provider's functions once an
    // effect is in the scene; a module that did not ask is not sent it.
    host.linkModules();
    // The panel is built once per plug-in; its controls then act on
    // whichever item they are changed for.
    if (!state_->panelBuilt[plugin.index]) {
        host.send(plugin.index, 0, MSG_INTERFACE, INTERFACE_BUILD);
        state_->panelBuilt[plugin.index] = true;
    }
    const Instance instance{plugin, object};
    state_->live.push_back(instance);
    return instance;
}

void Session::destroy(Instance& instance) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    auto& live = state_->live;
    auto found = std::find_if(live.begin(), live.end(), [&](const Instance& other) {
        return other.plugin.index == instance.plugin.index && other.item == instance.item;
    });
    if (found != live.end()) {
        live.erase(found);
        state_->host.send(instance.plugin.index, instance.item, MSG_OBJECT, OBJ_DESTROY);
    }
    instance = Instance{};
}

size_t Session::attachedRecords() const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    return state_->host.attachedRecords();
}

namespace {

const Channel* findChannel(Host& host, const Instance& instance, const std::string& name) {
    return host.channels.find(instance.plugin.index, instance.item, name);
}

Control& findControl(Host& host, const Instance& instance, const std::string& label) {
    Control* control = host.controls.find(instance.plugin.index, label);
    if (control == nullptr) {
        throw SessionError(host.module(instance.plugin.index).name + " has no control \"" + label + "\"");
    }
    return *control;
}

}  // namespace

void Session::setChannel(const Instance& instance, const std::string& channel, double value) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    if (!host.channels.set(instance.plugin.index, instance.item, channel, value)) {
        throw SessionError(pluginName(instance.plugin) + " has no channel \"" + channel + "\"");
    }
}

double Session::channel(const Instance& instance, const std::string& channel) const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    const Channel* found = findChannel(state_->host, instance, channel);
    if (found == nullptr) throw SessionError(pluginName(instance.plugin) + " has no channel \"" + channel + "\"");
    return found->value;
}

void Session::setToggle(const Instance& instance, const std::string& label, bool on) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    host.changeControl(findControl(host, instance, label).id, instance.item, on ? 1 : 0);
}

bool Session::toggle(const Instance& instance, const std::string& label) const {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    Control& control = findControl(host, instance, label);
    // The panel shows one item at a time: the plug-in sets the box to this
    // item's value when asked to refresh it.
    host.refreshControl(control.id, instance.item);
    return control.intValue != 0;
}

void Session::choose(const Instance& instance, const std::string& label, HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    host.changeControlObject(findControl(host, instance, label).id, instance.item, object);
}

namespace {

SceneObject& objectOf(Host& host, const Instance& instance) {
    SceneObject* object = host.scene.object(instance.item);
    if (object == nullptr) throw SessionError("the instance's object is not in the scene");
    return *object;
}

// The caller's pose shown as the object's current positions for one pass,
// uncopied (a million-point pose is 24 MB), and the rest shown again after
// it, however it ends: the caller's buffer is theirs again.
class LentPose {
public:
    LentPose(Mesh& mesh, const Point3* pose) : mesh_(mesh) {
        mesh_.lendCurrent(pose, static_cast<size_t>(mesh_.pointCount()));
    }
    ~LentPose() { mesh_.showBase(); }
    LentPose(const LentPose&) = delete;
    LentPose& operator=(const LentPose&) = delete;

private:
    Mesh& mesh_;
};

// The caller's buffer as the next displacement pass's output, for the
// length of one call.
class LentOutput {
public:
    LentOutput(EffectState& effects, HostHandle mesh, Point3* out, size_t count) : effects_(effects) {
        if (out == nullptr) return;
        effects_.lentFor = mesh;
        effects_.lent = out;
        effects_.lentCount = count;
    }
    ~LentOutput() {
        effects_.lentFor = 0;
        effects_.lent = nullptr;
        effects_.lentCount = 0;
    }
    LentOutput(const LentOutput&) = delete;
    LentOutput& operator=(const LentOutput&) = delete;

private:
    EffectState& effects_;
};

}  // namespace

void Session::computeWeights(const Instance& instance, const Point3* pose, float* out) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    SceneObject& object = objectOf(host, instance);
    const size_t count = static_cast<size_t>(object.mesh.pointCount());
    const LentPose lent(object.mesh, pose);
    const HostHandle map = host.computeWeights(instance.plugin.index, instance.item, scanMapName);
    const WeightMap* weights = host.scene.weightMap(map);
    if (weights == nullptr || weights->values.size() != count) {
        throw SessionError("the host made no weight map for the mesh");
    }
    std::copy(weights->values.begin(), weights->values.end(), out);
}

std::vector<float> Session::computeWeights(const Instance& instance, const std::vector<Point3>& pose) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    const size_t count = pointCount(instance.item);
    if (pose.size() != count) {
        throw SessionError("a pose of " + std::to_string(pose.size()) + " points for a mesh of " +
                           std::to_string(count));
    }
    std::vector<float> weights(count);
    computeWeights(instance, pose.data(), weights.data());
    return weights;
}

void Session::setupEffect(const Instance& instance) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    state_->host.setupEffect(instance.plugin.index, instance.item);
}

void Session::displace(const Instance& instance, const Point3* pose, Point3* out) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    SceneObject& object = objectOf(host, instance);
    const size_t count = static_cast<size_t>(object.mesh.pointCount());
    const LentPose lent(object.mesh, pose);
    object.output.clear();
    // The pass writes straight into `out`, and the scene keeps no copy;
    // unless `out` is the pose, which the pass reads to the end.
    EffectState& effects = host.effects;
    const int32_t passesBefore = effects.passes;
    const bool apart = out + count <= pose || pose + count <= out;
    const LentOutput lentOutput(effects, instance.item, apart ? out : nullptr, count);
    host.displaceEffect(instance.plugin.index, instance.item);
    if (effects.lentPass > passesBefore) return;
    if (object.output.size() == count) {
        std::copy(object.output.begin(), object.output.end(), out);
    } else {
        std::copy(pose, pose + count, out);
    }
}

std::vector<Point3> Session::displace(const Instance& instance, const std::vector<Point3>& pose) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    const size_t count = pointCount(instance.item);
    if (pose.size() != count) {
        throw SessionError("a pose of " + std::to_string(pose.size()) + " points for a mesh of " +
                           std::to_string(count));
    }
    std::vector<Point3> corrected(count);
    displace(instance, pose.data(), corrected.data());
    return corrected;
}

Instance Session::addStrainmark(HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    return create(loadPlugin(strainmarkFile), object);
}

Instance Session::addGrainmark(HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    return create(loadPlugin(grainmarkFile), object);
}

Instance Session::addStrainshaper(HostHandle object) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    // The effect keeps its target offsets in tangent frames; without the
    // provider it could not correct anything, so its absence is an error.
    if (!state_->host.provider.loaded()) loadProvider(providerFile);
    return create(loadPlugin(rimshaperFile), object);
}

namespace {

// Saved object references are handles of this scene: objects or weight maps.
std::string referenceName(const Scene& scene, HostHandle handle) {
    if (const SceneObject* object = scene.object(handle)) return object->name;
    if (const WeightMap* map = const_cast<Scene&>(scene).weightMap(handle)) return map->name;
    return "";
}

HostHandle findReference(const Scene& scene, const std::string& name) {
    if (name.empty()) return 0;
    if (const HostHandle object = scene.findObject(name)) return object;
    for (const WeightMap& map : scene.weightMaps()) {
        if (map.name == name) return map.id;
    }
    return 0;
}

}  // namespace

SavedSettings Session::save(const Instance& instance) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    SettingsContext context;
    host.saveInstance(instance.plugin.index, instance.item, context);
    SavedSettings settings;
    settings.module = pluginName(instance.plugin);
    settings.channels = context.channels;
    for (const SavedBlock& block : context.blocks()) {
        SavedSettingsBlock& out = settings.blocks.emplace_back();
        out.name = block.name;
        for (const SavedValue& value : block.values) {
            SavedSetting& setting = out.values.emplace_back();
            setting.key = value.key;
            switch (value.type) {
                case SavedType::Int:
                    setting.type = SavedSetting::Type::Int;
                    setting.intValue = value.intValue;
                    break;
                case SavedType::Double:
                    setting.type = SavedSetting::Type::Double;
                    setting.doubleValue = value.doubleValue;
                    break;
                case SavedType::Object:
                    setting.type = SavedSetting::Type::Object;
                    setting.objectName = referenceName(host.scene, value.objectValue);
                    break;
            }
        }
    }
    return settings;
}

void Session::load(const Instance& instance, const SavedSettings& settings) {
    std::lock_guard<TurnLock> lock(state_->mutex);
    Host& host = state_->host;
    const std::string name = pluginName(instance.plugin);
    if (!settings.module.empty() && settings.module != name) {
        throw SessionError("settings of \"" + settings.module + "\", not of " + name);
    }
    SettingsContext context;
    for (const SavedSettingsBlock& block : settings.blocks) {
        SavedBlock* into = context.newBlock(block.name);
        for (const SavedSetting& setting : block.values) {
            SavedValue& value = into->values.emplace_back();
            value.key = setting.key;
            switch (setting.type) {
                case SavedSetting::Type::Int:
                    value.type = SavedType::Int;
                    value.intValue = setting.intValue;
                    break;
                case SavedSetting::Type::Double:
                    value.type = SavedType::Double;
                    value.doubleValue = setting.doubleValue;
                    break;
                case SavedSetting::Type::Object:
                    value.type = SavedType::Object;
                    value.objectValue = findReference(host.scene, setting.objectName);
                    break;
            }
        }
    }
    context.channels = settings.channels;
    host.loadInstance(instance.plugin.index, instance.item, context);
    // The host writes channels into the record before every message, so the
    // loaded values hold only if the channels carry them too.
    for (const auto& [channel, value] : settings.channels) setChannel(instance, channel, value);
}

}  // namespace kestrin::host

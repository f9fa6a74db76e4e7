#include "session.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "atomic_file.h"
#include "messages.h"
#include "settings.h"
#include "tool_error.h"

namespace kestrin::tool {

const char* const strainmarkFile = "Strainmark.so";
const char* const rimshaperFile = "Rimshaper.so";
#ifdef KESTRIN_PROVIDER_FILE
const char* const providerFile = KESTRIN_PROVIDER_FILE;
#else
const char* const providerFile = "";
#endif

namespace {

const char* const meshName = "mesh";
const char* const weightMapName = "weights";
constexpr int settingsFileVersion = 1;

// The channels of both plug-ins, and the saved keys that carry the same value.
struct ChannelKey {
    const char* channel;
    const char* savedKey;  // null for channels the saved block leaves out
};
constexpr ChannelKey channelKeys[] = {
    {"Exponent", "lag"},
    {"Pre Multiplier", "multiplier1"},
    {"Post Multiplier", "multiplier2"},
    {"Stretch Multi", nullptr},
    {"Squash Multi", nullptr},
};

std::string moduleName(Session& session, int module) {
    return session.host().module(module).name;
}

void setChannel(Session& session, int module, HostHandle item, const std::string& name,
                double value) {
    if (!session.host().channels.set(module, item, name, value)) {
        throw ToolError(moduleName(session, module) + " has no channel \"" + name + "\"");
    }
}

// Changes a control as the user does: the host sets its value and calls the
// plug-in's callback with CONTROL_CHANGED.
host::Control& findControl(Session& session, int module, const std::string& label) {
    host::Control* control = session.host().controls.find(module, label);
    if (control == nullptr) {
        throw ToolError(moduleName(session, module) + " made no control \"" + label + "\"");
    }
    return *control;
}

void setToggle(Session& session, int module, HostHandle item, const std::string& label, bool on) {
    session.host().changeControl(findControl(session, module, label).id, item, on ? 1 : 0);
}

void chooseObject(Session& session, int module, HostHandle item, const std::string& label,
                  HostHandle object) {
    session.host().changeControlObject(findControl(session, module, label).id, item, object);
}

nlohmann::json readJson(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw ToolError(path + ": cannot open settings file");
    try {
        return nlohmann::json::parse(file);
    } catch (const nlohmann::json::exception& error) {
        // Syntax errors, and numbers out of a double's range (1e400).
        throw ToolError(path + ": not a JSON settings file: " + error.what());
    }
}

// Reads a settings file into the instance: the saved block through OBJ_LOAD,
// then the channel values. The host writes channels into the record before
// every message, so a loaded value only holds if its channel carries it too:
// channel values saved beside the block win, else the block's own keys.
void loadSettings(Session& session, int module, HostHandle item, const std::string& path) {
    const nlohmann::json document = readJson(path);
    const std::string module_ = moduleName(session, module);
    const bool ours = document.is_object() && document.contains("kestrin_tool_settings");
    if (ours) {
        // Checked before use: a file with these of the wrong kind is as
        // malformed as one that does not parse.
        const auto named = document.find("module");
        if (named == document.end() || !named->is_string()) {
            throw ToolError(path + ": no \"module\" name in the settings file");
        }
        if (!document.contains("saved")) throw ToolError(path + ": no \"saved\" settings");
        if (named->get<std::string>() != module_) {
            throw ToolError(path + ": holds settings of \"" + named->get<std::string>() +
                            "\", not of " + module_);
        }
    }
    host::SettingsContext context;
    std::string error;
    if (!host::settingsFromJson(ours ? document.at("saved") : document, session.host().scene,
                                &context, &error)) {
        throw ToolError(path + ": " + error);
    }
    session.host().loadInstance(module, item, context);

    const host::SavedBlock* block = context.block("LagData");
    for (const ChannelKey& key : channelKeys) {
        if (ours && document.contains("channels") && document["channels"].contains(key.channel)) {
            const nlohmann::json& value = document["channels"][key.channel];
            if (!value.is_number()) {
                throw ToolError(path + ": channel \"" + std::string(key.channel) + "\" is not a number");
            }
            setChannel(session, module, item, key.channel, value.get<double>());
            continue;
        }
        const host::SavedValue* saved = block != nullptr && key.savedKey != nullptr
                                            ? block->find(key.savedKey)
                                            : nullptr;
        if (saved != nullptr && saved->type == host::SavedType::Double) {
            setChannel(session, module, item, key.channel, saved->doubleValue);
        }
    }
}

// Saves the instance through OBJ_SAVE, with its channel values beside the block.
void saveSettings(Session& session, int module, HostHandle item, const std::string& path) {
    host::SettingsContext context;
    session.host().saveInstance(module, item, context);
    nlohmann::json channels = nlohmann::json::object();
    for (const ChannelKey& key : channelKeys) {
        if (const host::Channel* channel = session.host().channels.find(module, item, key.channel)) {
            channels[key.channel] = channel->value;
        }
    }
    nlohmann::json document = {
        {"kestrin_tool_settings", settingsFileVersion},
        {"module", moduleName(session, module)},
        {"channels", channels},
        {"saved", host::settingsToJson(context, session.host().scene)},
    };
    writeFileAtomically(path, document.dump(2) + "\n");
}

void applySettings(Session& session, int module, HostHandle item, const PluginSettings& settings) {
    if (!settings.loadFrom.empty()) loadSettings(session, module, item, settings.loadFrom);
    for (const auto& [name, value] : settings.channels) setChannel(session, module, item, name, value);
    for (const auto& [label, on] : settings.toggles) setToggle(session, module, item, label, on);
    if (!settings.saveTo.empty()) saveSettings(session, module, item, settings.saveTo);
}

// The simulator's mesh still takes one list per polygon.
std::vector<std::vector<int32_t>> unpacked(const Polygons& polygons) {
    std::vector<std::vector<int32_t>> lists(polygons.size());
    for (size_t i = 0; i < polygons.size(); ++i) {
        lists[i].assign(polygons.begin(i), polygons.begin(i) + polygons.count(i));
    }
    return lists;
}

host::SceneObject& sceneObject(Session& session, HostHandle id) {
    return *session.host().scene.object(id);
}

}  // namespace

std::string executableDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return ".";
    return self.parent_path().string();
}

Session::Session(std::string pluginDirectory) : pluginDirectory_(std::move(pluginDirectory)) {}

int Session::load(const std::string& path) {
    std::string error;
    const int module = host_.load(path, &error);
    if (module < 0) throw ToolError(path + ": cannot load plug-in: " + error);
    const host::LoadedModule& loaded = host_.module(module);
    if (loaded.entryResult != 0 || !loaded.registered()) {
        std::string message = path + ": plug-in entry failed with " +
                              std::to_string(loaded.entryResult);
        for (const host::ShownMessage& shown : host_.shown) {
            message += "\n  " + shown.title + ": " + shown.text;
        }
        throw ToolError(message);
    }
    return module;
}

int Session::loadFromDirectory(const std::string& fileName) {
    return load((std::filesystem::path(pluginDirectory_) / fileName).string());
}

WeightTool::WeightTool(Session& session, const MeshData& rest, const PluginSettings& settings)
    : session_(session), module_(session.loadFromDirectory(strainmarkFile)) {
    host::Host& host = session.host();
    item_ = host.scene.addObject(meshName, host::Mesh(rest.points, unpacked(rest.polygons)));
    host.send(module_, item_, MSG_OBJECT, OBJ_CREATE);
    // A constructor that throws runs no destructor: the instance is released
    // here, so that bad settings leave no record behind.
    try {
        host.send(module_, 0, MSG_INTERFACE, INTERFACE_BUILD);
        applySettings(session, module_, item_, settings);
    } catch (...) {
        host.send(module_, item_, MSG_OBJECT, OBJ_DESTROY);
        throw;
    }
}

WeightTool::~WeightTool() { session_.host().send(module_, item_, MSG_OBJECT, OBJ_DESTROY); }

std::vector<float> WeightTool::compute(const std::vector<Point3>& pose) {
    host::Host& host = session_.host();
    sceneObject(session_, item_).mesh.setCurrent(pose);
    const HostHandle map = host.computeWeights(module_, item_, weightMapName);
    const host::WeightMap* weights = host.scene.weightMap(map);
    if (weights == nullptr) throw ToolError("the host made no weight map for the mesh");
    return weights->values;
}

Morpher::Morpher(Session& session, const MeshData& rest, const MeshData& stretchTarget,
                 const MeshData& squashTarget, const std::optional<std::vector<float>>& weightMap,
                 const PluginSettings& settings)
    : session_(session) {
    host::Host& host = session.host();
    // The effect keeps its target offsets in tangent frames; without the
    // provider it could not correct anything, so its absence is an error.
    const std::string provider =
        (std::filesystem::path(session.pluginDirectory()) / providerFile).string();
    std::string error;
    if (*providerFile == '\0' || !host.provider.load(provider, &error)) {
        throw ToolError(provider + ": cannot load the tangent-space provider: " + error);
    }
    module_ = session.loadFromDirectory(rimshaperFile);
    item_ = host.scene.addObject(meshName, host::Mesh(rest.points, unpacked(rest.polygons)));
    const HostHandle stretch =
        host.scene.addObject("stretch target", host::Mesh(stretchTarget.points, unpacked(rest.polygons)));
    const HostHandle squash =
        host.scene.addObject("squash target", host::Mesh(squashTarget.points, unpacked(rest.polygons)));
    HostHandle map = 0;
    if (weightMap) {
        map = host.scene.addWeightMap(item_, weightMapName);
        host.scene.weightMap(map)->values = *weightMap;
    }
    host.send(module_, item_, MSG_OBJECT, OBJ_CREATE);
    try {
        configure(session, stretch, squash, map, settings);
    } catch (...) {
        host.send(module_, item_, MSG_OBJECT, OBJ_DESTROY);
        throw;
    }
}

// Links, builds the panel and applies the settings and choices; the setup
// pass then captures the rest state.
void Morpher::configure(Session& session, HostHandle stretch, HostHandle squash, HostHandle map,
                        const PluginSettings& settings) {
    host::Host& host = session.host();
    host.linkModules();
    host.send(module_, 0, MSG_INTERFACE, INTERFACE_BUILD);
    // A settings file may choose targets too; those given here are the user's
    // latest choice, so they come after it, and the explicit channel values
    // after both.
    PluginSettings loadFirst;
    loadFirst.loadFrom = settings.loadFrom;
    applySettings(session, module_, item_, loadFirst);
    chooseObject(session, module_, item_, "Stretch object", stretch);
    chooseObject(session, module_, item_, "Squash object", squash);
    if (map != 0) chooseObject(session, module_, item_, "Weight", map);
    PluginSettings then = settings;
    then.loadFrom.clear();
    applySettings(session, module_, item_, then);

    host.setupEffect(module_, item_);
}

Morpher::~Morpher() { session_.host().send(module_, item_, MSG_OBJECT, OBJ_DESTROY); }

std::vector<Point3> Morpher::displace(const std::vector<Point3>& pose) {
    host::SceneObject& object = sceneObject(session_, item_);
    object.mesh.setCurrent(pose);
    object.output.clear();
    session_.host().displaceEffect(module_, item_);
    return object.output.empty() ? pose : object.output;
}

}  // namespace kestrin::tool

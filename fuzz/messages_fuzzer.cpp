// Message sequences for the three plug-ins, on meshes no exporter would write.
//
// The input is a little program: first a scene (a few objects whose meshes
// have polygons of 0 to 6 vertices, repeated and out-of-range indices, and
// coordinates that may be zero, huge, not a number or infinite; targets with
// fewer points), then up to 96 steps, each one thing a host or its user does:
// a message of any class and sub-kind (high words included) to either
// plug-in, a channel value (the axis too), a control event, a weight computation, an effect
// pass, a save or a load (of a save, of a damaged save, of nothing), a mesh
// that gains or loses points, the provider's functions withdrawn.
//
// A host creates an instance only on an item that has none, as the real one
// does; everything else may come in any order. Checked throughout: every
// message is answered 0, every weight and position handed over is finite; at
// the end, closing the scene leaves nothing attached (and, in the sanitizer
// builds, nothing leaked or touched after its release).
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz_bytes.h"
#include "fuzz_host.h"
#include "messages.h"

namespace kestrin::fuzz {
namespace {

constexpr int maxSteps = 96;
constexpr int maxPoints = 24;
constexpr int maxPolygons = 24;

const char* const channelNames[] = {"Exponent", "Pre Multiplier", "Post Multiplier",
                                    "Stretch Multi", "Squash Multi", "Bogus", "Axis X", "Axis Z"};
const char* const providerNames[] = {"useful_CreateTangentSpace", "useful_FetchTangentSpace",
                                     "useful_DeleteTangentSpace", "useful_TangentSpaceCalculate",
                                     "useful_TangentGetMatrix"};
const char* const savedKeys[] = {"lag", "multiplier1", "multiplier2", "positive", "switch_mode",
                                 "clamp_values", "weight", "squash", "stretch", "scan", "", "measure"};

Point3 awkwardPoint(FuzzBytes& in) {
    // Mostly small whole coordinates, so meshes have real edges to measure.
    if (in.below(4) != 0) {
        return {double(in.below(5)), double(in.below(5)), double(in.below(3))};
    }
    return {in.awkwardDouble(), in.awkwardDouble(), in.awkwardDouble()};
}

host::Mesh awkwardMesh(FuzzBytes& in, int points) {
    std::vector<Point3> positions;
    for (int i = 0; i < points; ++i) positions.push_back(awkwardPoint(in));
    std::vector<std::vector<int32_t>> polygons(in.below(maxPolygons + 1));
    for (auto& polygon : polygons) {
        const int corners = int(in.below(7));
        for (int k = 0; k < corners; ++k) {
            // Indices from a little before the first point to past the last.
            polygon.push_back(int32_t(in.below(points + 4)) - 2);
        }
    }
    return host::Mesh(positions, polygons);
}

uint64_t awkwardSubKind(FuzzBytes& in) {
    static const uint64_t known[] = {OBJ_CREATE,    OBJ_DESTROY,     OBJ_LOAD,       OBJ_SAVE,
                                     OBJ_DECLARED_ONLY, EFFECT_SETUP, EFFECT_DISPLACE, 4100,
                                     WEIGHT_COMPUTE, INTERFACE_BUILD, DISPLAY_SETUP, LINK_FUNCTIONS,
                                     0,             2,               8,              8192};
    const uint64_t base = known[in.below(16)];
    switch (in.below(4)) {
        case 0: return base | (uint64_t(1) << (32 + in.below(32)));  // a high-word bit set
        case 1: return in.u64();
        default: return base;
    }
}

uint32_t awkwardClass(FuzzBytes& in) {
    static const uint32_t known[] = {MSG_EFFECT, MSG_OBJECT, MSG_WEIGHT_TOOL, MSG_INTERFACE,
                                     MSG_DISPLAY, MSG_LINK, 0, 12, 28, 32};
    return in.below(4) == 0 ? in.u32() : known[in.below(10)];
}

// A save whose values were changed as a damaged or foreign file might have
// them: keys dropped, types swapped, values out of range.
void damage(host::SettingsContext& context, FuzzBytes& in) {
    const char* const name = in.flag() ? "LagData" : "GrainData";
    host::SavedBlock* block = context.block(name);
    if (block == nullptr) block = context.newBlock(name);
    const int edits = int(in.below(4));
    for (int e = 0; e < edits; ++e) {
        switch (in.below(4)) {
            case 0:
                if (!block->values.empty()) block->values.erase(block->values.begin() + in.below(uint32_t(block->values.size())));
                break;
            case 1: {
                host::SavedValue value;
                value.key = savedKeys[in.below(12)];
                value.type = host::SavedType(in.below(3));
                value.intValue = int32_t(in.u32());
                value.doubleValue = in.awkwardDouble();
                value.objectValue = in.below(12);
                block->values.insert(block->values.begin(), value);
                break;
            }
            case 2:
                for (host::SavedValue& value : block->values) value.type = host::SavedType(in.below(3));
                break;
            default:
                context.channels.emplace_back(channelNames[in.below(8)], in.awkwardDouble());
                break;
        }
    }
}

struct Run {
    host::Host host;
    LoadedPlugins plugins;
    std::vector<HostHandle> objects;
    host::SettingsContext saves[2];
    // Every item sent OBJ_CREATE, scene object or not.
    std::vector<HostHandle> created;

    int plugin(FuzzBytes& in) { return in.flag() ? weightTool(in) : plugins.rimshaper; }
    int weightTool(FuzzBytes& in) { return in.flag() ? plugins.strainmark : plugins.grainmark; }
    HostHandle item(FuzzBytes& in) {
        // Now and then a handle the scene does not have, or none.
        if (in.below(8) == 0) return in.below(3) == 0 ? 0 : in.u32();
        return objects[in.below(uint32_t(objects.size()))];
    }
    void expectZero(int32_t answer) { require(answer == 0, "every message is answered 0"); }

    void send(int module, HostHandle target, uint32_t messageClass, uint64_t subKind, void* data) {
        // A host creates an instance only where there is none.
        if (messageClass == MSG_OBJECT && subKind == OBJ_CREATE && host.typeData(module, target) != nullptr) {
            return;
        }
        if (messageClass == MSG_OBJECT && subKind == OBJ_CREATE) created.push_back(target);
        expectZero(host.send(module, target, messageClass, subKind, data));
    }

    void step(FuzzBytes& in) {
        switch (in.below(14)) {
            case 0: {  // any message
                const int module = plugin(in);
                const HostHandle target = item(in);
                const uint32_t messageClass = awkwardClass(in);
                const uint64_t subKind = awkwardSubKind(in);
                void* data = in.flag() ? &saves[in.below(2)] : nullptr;
                send(module, target, messageClass, subKind, data);
                break;
            }
            case 1:
            case 2:  // creation is common, so that the rest has instances to reach
                send(plugin(in), item(in), MSG_OBJECT, OBJ_CREATE, nullptr);
                break;
            case 3:
                host.channels.set(plugin(in), item(in), channelNames[in.below(8)], in.awkwardDouble());
                break;
            case 4: {  // a control event
                const std::vector<host::Control>& all = host.controls.all();
                if (all.empty()) {
                    send(plugin(in), 0, MSG_INTERFACE, INTERFACE_BUILD, nullptr);
                    break;
                }
                const host::Control& control = all[in.below(uint32_t(all.size()))];
                const HostHandle target = item(in);
                switch (in.below(4)) {
                    case 0: host.changeControl(control.id, target, int32_t(in.u32())); break;
                    case 1: host.changeControlObject(control.id, target, item(in)); break;
                    case 2: host.refreshControl(control.id, target); break;
                    default: host.controlEvent(control.id, target, awkwardSubKind(in)); break;
                }
                break;
            }
            case 5:
                host.computeWeights(weightTool(in), item(in), "Tension");
                break;
            case 6:
                expectZero(host.setupEffect(plugins.rimshaper, item(in)));
                break;
            case 7:
                expectZero(host.displaceEffect(plugins.rimshaper, item(in)));
                break;
            case 8: {  // save, or load a save as it is or damaged
                const int module = plugin(in);
                const HostHandle target = item(in);
                host::SettingsContext& context = saves[in.below(2)];
                switch (in.below(3)) {
                    case 0: expectZero(host.saveInstance(module, target, context)); break;
                    case 1: expectZero(host.loadInstance(module, target, context)); break;
                    default: {
                        host::SettingsContext damaged = context;
                        damage(damaged, in);
                        expectZero(host.loadInstance(module, target, damaged));
                        break;
                    }
                }
                break;
            }
            case 9: {  // a mesh that gains or loses points, or moves them
                host::SceneObject* object = host.scene.object(item(in));
                if (object == nullptr) break;
                if (in.flag()) {
                    object->mesh = awkwardMesh(in, int(in.below(maxPoints + 1)));
                } else {
                    std::vector<Point3> pose;
                    for (int i = 0; i < object->mesh.pointCount(); ++i) pose.push_back(awkwardPoint(in));
                    object->mesh.setCurrent(pose);
                }
                break;
            }
            case 10: {  // the provider's functions withdrawn, or back
                if (in.flag()) {
                    host.unpublish(providerNames[in.below(5)]);
                } else {
                    std::string error;
                    host.provider.load(TANGENTSPACE_PATH, &error);
                }
                host.linkModules();
                break;
            }
            case 11: {  // the scan asks for point numbers the mesh may not have
                host.weightScan.pointNumbers.clear();
                const int count = int(in.below(6));
                for (int k = 0; k < count; ++k) host.weightScan.pointNumbers.push_back(int32_t(in.below(40)) - 4);
                break;
            }
            case 12: {  // an effect's targets, objects or not
                host::SceneObject* object = host.scene.object(item(in));
                if (object == nullptr) break;
                object->targets.clear();
                const int count = int(in.below(3));
                for (int k = 0; k < count; ++k) object->targets.push_back(item(in));
                break;
            }
            default: {
                const int module = plugin(in);
                send(module, 0, in.flag() ? MSG_INTERFACE : MSG_DISPLAY,
                     in.flag() ? INTERFACE_BUILD : DISPLAY_SETUP, nullptr);
                break;
            }
        }
        checkHandedValues(host);
    }
};

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin::fuzz;
    FuzzBytes in(data, size);
    Run run;
    run.plugins = loadPlugins(run.host);
    const int objects = 1 + int(in.below(4));
    for (int k = 0; k < objects; ++k) {
        run.objects.push_back(run.host.scene.addObject("Object " + std::to_string(k),
                                                       awkwardMesh(in, int(in.below(maxPoints + 1)))));
    }
    run.host.scene.addWeightMap(run.objects[0], "Mask");
    run.objects.push_back(run.host.scene.findWeightMap(run.objects[0], "Mask"));
    for (int s = 0; s < maxSteps && !in.empty(); ++s) run.step(in);
    closeScene(run.host, run.plugins, run.created);
    return 0;
}

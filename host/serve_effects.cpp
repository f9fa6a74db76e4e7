// Effect target scans, weight-map reads and displacement.
#include <algorithm>

#include "host.h"
#include "served.h"

namespace kestrin::host::served {

// Target ids are the targets' places in the item's target list, from 0.
int32_t fxEffectTargetScan(HostHandle item, TargetScanRoutine routine, void* instance,
                           int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, routine, instance, flags);
    if (routine == nullptr) return 0;
    // An item without a target list is its own only target: no list to make,
    // so that an effect pass allocates nothing.
    const SceneObject* object = host->scene.object(item);
    if (object != nullptr && object->targets.empty()) {
        routine(0, nullptr, item, instance);
        return 1;
    }
    const std::vector<HostHandle> targets = host->effectTargets(item);
    for (size_t k = 0; k < targets.size(); ++k) {
        routine(static_cast<uint32_t>(k), nullptr, targets[k], instance);
    }
    return static_cast<int32_t>(targets.size());
}

int32_t fxMeshPointWeight(HostHandle mesh, int32_t point, HostHandle weightMap, int32_t kind,
                          float* weight, int32_t flags) {
    Host* host = Host::active();
    int32_t result = 0;
    if (weight != nullptr) {
        const WeightMap* map = host->scene.weightMap(weightMap);
        const bool covered =
            map != nullptr && point >= 0 && static_cast<size_t>(point) < map->values.size();
        *weight = covered ? map->values[point] : 0.0f;
        result = covered ? 1 : 0;
    }
    host->log.record(__func__, mesh, point, weightMap, kind, weight, flags);
    return result;
}

int32_t fxDisplaceBegin(HostHandle mesh, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, mesh, flags);
    EffectState& effects = host->effects;
    const SceneObject* object = host->scene.object(mesh);
    effects.displacing = object != nullptr ? mesh : 0;
    effects.into = nullptr;
    effects.intoCount = 0;
    if (object == nullptr) {
        effects.pending.clear();
        return 0;
    }
    const Mesh::Positions current = object->mesh.current();
    if (mesh == effects.lentFor && effects.lentCount == current.size()) {
        std::copy(current.begin(), current.end(), effects.lent);
        effects.into = effects.lent;
    } else {
        // Assigned, not replaced: the buffer of the last pass is reused.
        effects.pending.assign(current.begin(), current.end());
        effects.into = effects.pending.data();
    }
    effects.intoCount = current.size();
    return 0;
}

int32_t fxDisplacePoint(HostHandle mesh, int32_t point, double x, double y, double z) {
    Host* host = Host::active();
    EffectState& effects = host->effects;
    if (mesh == 0 || mesh != effects.displacing || point < 0 || static_cast<size_t>(point) >= effects.intoCount) {
        ++effects.strayPoints;
    } else {
        effects.into[point] = Point3{x, y, z};
    }
    host->log.record(__func__, mesh, point, x, y, z);
    return 0;
}

int32_t fxDisplaceEnd(HostHandle mesh, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, mesh, flags);
    EffectState& effects = host->effects;
    if (mesh == 0 || mesh != effects.displacing) return 0;
    ++effects.passes;
    if (SceneObject* object = host->scene.object(mesh)) {
        if (effects.into == effects.lent && effects.lent != nullptr) {
            // The positions are where the driver wants them already.
            object->output.clear();
            effects.lentPass = effects.passes;
        } else {
            // Swapped, so that both buffers live on for the next pass.
            object->output.swap(effects.pending);
        }
        object->outputPass = effects.passes;
    }
    effects.pending.clear();
    effects.displacing = 0;
    effects.into = nullptr;
    effects.intoCount = 0;
    return 0;
}

}  // namespace kestrin::host::served

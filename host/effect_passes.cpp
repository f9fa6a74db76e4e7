// How the host drives effects: the link after loading, the setup pass at the
// rest shape and the displacement pass at each posed evaluation.
#include "host.h"
#include "messages.h"

namespace kestrin::host {

std::vector<HostHandle> Host::effectTargets(HostHandle item) const {
    const SceneObject* object = scene.object(item);
    if (object == nullptr) return {};
    if (object->targets.empty()) return {item};
    std::vector<HostHandle> targets;
    for (HostHandle target : object->targets) {
        if (scene.object(target) != nullptr) targets.push_back(target);
    }
    return targets;
}

void Host::linkModules() {
    for (int m = 0; m < moduleCount(); ++m) {
        for (const ModuleAccessRecord& access : modules_[m].access) {
            if (access.messageClass == MSG_LINK && (access.subKindMask & LINK_FUNCTIONS) != 0) {
                send(m, 0, MSG_LINK, LINK_FUNCTIONS);
                break;
            }
        }
    }
}

int32_t Host::setupEffect(int module, HostHandle item) {
    // The targets are evaluated at rest for this pass only; their pose stays
    // where it is held, shown again afterwards (newest first: a target listed
    // twice gets its pose back, not the rest shown in between).
    std::vector<std::pair<SceneObject*, Mesh::Positions>> poses;
    for (HostHandle target : effectTargets(item)) {
        SceneObject* object = scene.object(target);
        poses.emplace_back(object, object->mesh.current());
        object->mesh.showBase();
    }
    const int32_t answer = send(module, item, MSG_EFFECT, EFFECT_SETUP);
    for (auto pose = poses.rbegin(); pose != poses.rend(); ++pose) {
        pose->first->mesh.lendCurrent(pose->second.data, pose->second.count);
    }
    return answer;
}

int32_t Host::displaceEffect(int module, HostHandle item) {
    const int32_t passesBefore = effects.passes;
    const int32_t answer = send(module, item, MSG_EFFECT, EFFECT_DISPLACE);
    // A target whose pass the module did not close keeps its current
    // positions. Settled after the message rather than copied before it, so
    // that a closed pass costs one copy of the positions, not two; and
    // without a target list for an item that is its own target, so that a
    // pass allocates nothing.
    const auto settle = [passesBefore](SceneObject* object) {
        if (object->outputPass <= passesBefore) {
            object->output.assign(object->mesh.current().begin(), object->mesh.current().end());
        }
    };
    SceneObject* self = scene.object(item);
    if (self != nullptr && self->targets.empty()) {
        settle(self);
    } else {
        for (HostHandle target : effectTargets(item)) settle(scene.object(target));
    }
    return answer;
}

}  // namespace kestrin::host

// Effect target scans, weight-map reads and displacement.
// Not served yet: each records its call and answers 0.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxEffectTargetScan(HostHandle item, TargetScanRoutine routine, void* instance, int32_t flags) {
    Host::active()->log.record("fxEffectTargetScan", item, routine, instance, flags);
    return {};
}

int32_t fxMeshPointWeight(HostHandle mesh, int32_t point, HostHandle weightMap, int32_t kind, float* weight, int32_t flags) {
    Host::active()->log.record("fxMeshPointWeight", mesh, point, weightMap, kind, weight, flags);
    return {};
}

int32_t fxDisplaceBegin(HostHandle mesh, int32_t flags) {
    Host::active()->log.record("fxDisplaceBegin", mesh, flags);
    return {};
}

int32_t fxDisplacePoint(HostHandle mesh, int32_t point, double x, double y, double z) {
    Host::active()->log.record("fxDisplacePoint", mesh, point, x, y, z);
    return {};
}

int32_t fxDisplaceEnd(HostHandle mesh, int32_t flags) {
    Host::active()->log.record("fxDisplaceEnd", mesh, flags);
    return {};
}

}  // namespace kestrin::host::served

// Weight-tool scans.
// Not served yet: each records its call and answers 0.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxWeightToolValueSet(int32_t point, float weight, int32_t flags) {
    Host::active()->log.record("fxWeightToolValueSet", point, weight, flags);
    return {};
}

int32_t fxWeightToolScan(HostHandle item, void* instance, WeightToolRoutine routine, int32_t flags) {
    Host::active()->log.record("fxWeightToolScan", item, instance, routine, flags);
    return {};
}

}  // namespace kestrin::host::served

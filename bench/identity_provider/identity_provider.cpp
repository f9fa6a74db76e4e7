// A stand-in tangent-space provider for the pass benchmarks: the host loads it
// as it loads the real one, and it gives every point of every (mesh, target)
// the identity frame at no cost. A Strainshaper pass timed with it is the
// effect's own work, without any provider's, and its results equal the
// reference's computed with identity frames.
#include <string.h>

#include "kestrin_types.h"
#include "provider_entry.h"

namespace {

char identitySpace;  // one space for every (mesh, target)

// Named as published, so that the provider's one list of names publishes them.
TangentSpaceHandle useful_CreateTangentSpace(HostHandle, uint32_t) { return &identitySpace; }
TangentSpaceHandle useful_FetchTangentSpace(HostHandle, uint32_t) { return &identitySpace; }
int32_t useful_DeleteTangentSpace(TangentSpaceHandle) { return 1; }
int32_t useful_TangentSpaceCalculate(TangentSpaceHandle) { return 1; }
int32_t useful_TangentGetMatrix(TangentSpaceHandle, int32_t, double* out) {
    static const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (out != nullptr) memcpy(out, identity, sizeof identity);
    return 1;
}

}  // namespace

#define PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))

PROVIDER_EXPORT int32_t tangentProviderEntry(HostLookup, PublishFunction publish) {
    if (publish == nullptr) return 1;
#define TANGENT_FUNCTION(name) publish(#name, reinterpret_cast<HostFunction>(&name));
#include "tangent_functions.def"
    return 0;
}

PROVIDER_EXPORT void tangentProviderExit(void) {}

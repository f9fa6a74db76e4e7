// The provider's exports: entry and exit. Everything else is hidden; plug-ins
// reach the published functions only through the host.
#include "binding.h"
#include "messages.h"
#include "provider_entry.h"
#include "published.h"
#include "tangent_space.h"

#define PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))

PROVIDER_EXPORT int32_t tangentProviderEntry(HostLookup lookup, PublishFunction publish) {
    if (lookup == nullptr || publish == nullptr) return 1;
    hostLookup = lookup;
    // The frames are read from the host's meshes: without them nothing is
    // published, and plug-ins see the provider as absent.
    if (bindHostFunctions(BIND_MESH) == 0) return 1;
#define TANGENT_FUNCTION(name) publish(#name, reinterpret_cast<HostFunction>(&name));
#include "tangent_functions.def"
    return 0;
}

PROVIDER_EXPORT void tangentProviderExit(void) { releaseAllSpaces(); }

// The tangent-space provider's two exports. The host loads the provider beside
// the plug-ins, enters it, and publishes what it hands over, so that plug-ins
// find those functions through HostLookup with BIND_PUBLISHED.
#ifndef KESTRIN_PROVIDER_ENTRY_H
#define KESTRIN_PROVIDER_ENTRY_H

#include <stdint.h>

#include "kestrin_types.h"

#ifdef __cplusplus
extern "C" {
#endif

// Given by the host: publishes one function under its name, replacing an
// earlier one of that name.
typedef void (*PublishFunction)(const char* name, HostFunction function);

// Exported as "tangentProviderEntry": resolves the host's mesh services through
// lookup and publishes the five functions of tangent_functions.def through
// publish. 0 when ready; otherwise nothing was published.
typedef int32_t (*TangentProviderEntry)(HostLookup lookup, PublishFunction publish);

// Exported as "tangentProviderExit": releases every tangent space the provider
// made. Its published functions must not be called afterwards.
typedef void (*TangentProviderExit)(void);

#ifdef __cplusplus
}
#endif

#endif

// The simulator's implementations of the host functions the plug-ins call,
// declared straight from the one host function list so that each definition
// must match the signature the plug-ins were built against. Each service file
// (serve_*.cpp) defines the ones of its area.
#ifndef KESTRIN_HOST_SERVED_H
#define KESTRIN_HOST_SERVED_H

#include "kestrin_types.h"

namespace kestrin::host::served {
#define HOST_CALL(group, name, result, parameters) result name parameters;
#include "host_functions.def"
}  // namespace kestrin::host::served

#endif

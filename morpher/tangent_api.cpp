#include "tangent_api.h"

#include "binding.h"
#include "messages.h"

#define TANGENT_FUNCTION(name) HostFunction name = nullptr;
#define TANGENT_CALL(name, result, parameters) result(*name) parameters = nullptr;
#include "tangent_functions.def"

void linkTangentFunctions(void) {
    // The slots differ in type; each takes the looked-up function in its own.
#define TANGENT_FUNCTION(name) \
    name = reinterpret_cast<decltype(name)>(hostLookup(#name, BIND_PUBLISHED));
#include "tangent_functions.def"
}

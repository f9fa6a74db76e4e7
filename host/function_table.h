// The simulator's side of the host function list: every name with its group
// and what serves it.
#ifndef KESTRIN_HOST_FUNCTION_TABLE_H
#define KESTRIN_HOST_FUNCTION_TABLE_H

#include <stdint.h>

#include "kestrin_types.h"

namespace kestrin::host {

struct ServedFunction {
    const char* name;
    uint32_t group;
    // The implementation for functions the plug-ins call; for the others a
    // stub that records the call by name and returns 0 (or null).
    HostFunction function;
    bool typed;
};

// All 715 host functions, in lookup order.
const ServedFunction* servedFunctions(int32_t* count);
// The entry of that name, or null.
const ServedFunction* findServedFunction(const char* name);

}  // namespace kestrin::host

#endif

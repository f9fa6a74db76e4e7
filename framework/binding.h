// Resolution of the host function table by name, group by group.
#ifndef KESTRIN_BINDING_H
#define KESTRIN_BINDING_H

#include <stdint.h>

#include "kestrin_types.h"

// Groups bound so far, or being bound: a group's bit goes in before its first
// lookup, so a group is never tried twice, not even after a failure.
extern uint32_t loadedGroups;
// The bit of the group being bound (0 before any).
extern uint32_t currentGroup;
// The groups kestrinEntry asks for (BIND_ALL).
extern uint32_t requestedGroups;
// The lookup callback kestrinEntry received; kept for the library's life.
extern HostLookup hostLookup;
// The module name, title of the one message a binding failure shows.
extern char moduleTitle[256];

// Binds every name of every group in `requested` that is not loaded yet, in
// table order. Returns 1 when all were found; at the first name the host cannot
// supply it shows "NAME could not be found!" (when fxMessageSend is bound) and
// returns 0, leaving later names null.
int32_t bindHostFunctions(uint32_t requested);

// Number of names this library binds (715 with the weight-tool group, 708
// without).
int32_t hostFunctionCount(void);

#endif

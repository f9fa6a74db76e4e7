// Types shared by the host and its plug-ins. Everything here crosses the
// library boundary, so it is plain C layout with fixed widths.
#ifndef KESTRIN_TYPES_H
#define KESTRIN_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Id of an item, an object (which also serves as a mesh), a weight map or a
// control. 32 bits wide in every build, 64-bit hosts included.
typedef uint32_t HostHandle;

// A position or an offset, in the mesh's own units.
typedef struct Point3 {
    double x, y, z;
} Point3;

// Any host or published function, as HostLookup hands it out. Callers convert
// it to the function's real type before calling.
typedef void (*HostFunction)(void);

// Resolves a host function by name within one group bit (or BIND_PUBLISHED for
// functions that other plug-ins publish). Null when the host has no such name.
typedef HostFunction (*HostLookup)(const char* name, uint32_t groupBits);

// Opaque handle of a saved-settings block inside a save or load in progress.
typedef void* FormatBlock;

// Opaque handle of a tangent space kept by the tangent-space provider.
typedef void* TangentSpaceHandle;

// The module's message callback: data is the message context (the save or load
// in progress for OBJ_SAVE / OBJ_LOAD), item the item the message is about.
// Returns 0 on every path.
typedef int32_t (*ModuleCallback)(void* data, HostHandle item, uint32_t messageClass,
                                  uint64_t subKind);

// A control's callback. event is CONTROL_CHANGED (read the control) or
// CONTROL_REFRESH (show the record's value); returns 0.
typedef int32_t (*ControlCallback)(HostHandle control, HostHandle item, void* unused,
                                   uint64_t event);

// Called by fxWeightToolScan once per point number (1..n; point index is n - 1),
// with the instance handed to the scan. Returns 1.
typedef int32_t (*WeightToolRoutine)(void* unused, HostHandle mesh, int32_t pointNumber,
                                     int32_t unused2, int32_t unused3, void* instance);

// Called by fxEffectTargetScan once per target of the item, with the target's
// id (passed on to the tangent-space provider) and the mesh to work on.
typedef int32_t (*TargetScanRoutine)(uint32_t targetId, void* unused, HostHandle mesh,
                                     void* instance);

#ifdef __cplusplus
}
#endif

#endif

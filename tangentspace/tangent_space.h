// The provider's tangent spaces: one per (mesh, target) pair, each holding
// every point's frame as computed at the last calculation.
#ifndef TANGENTSPACE_TANGENT_SPACE_H
#define TANGENTSPACE_TANGENT_SPACE_H

#include <stdint.h>

#include "kestrin_types.h"

enum { FRAME_SIZE = 9 };  // three axes of three doubles: tangent, bitangent, normal

typedef struct TangentSpace {
    uintptr_t id;  // the handle plug-ins hold; never reused
    HostHandle mesh;
    uint32_t targetId;
    int32_t pointCount;  // frames held; 0 before the first calculation
    double* frames;      // pointCount x FRAME_SIZE, owned here
} TangentSpace;

// Makes the space of (mesh, targetId), releasing an earlier one of that pair.
// Null when memory ran out.
TangentSpace* createSpace(HostHandle mesh, uint32_t targetId);
// The space of (mesh, targetId), or null.
TangentSpace* spaceOfPair(HostHandle mesh, uint32_t targetId);
// The live space a handle names, or null (also for a released or foreign one).
TangentSpace* spaceOfHandle(TangentSpaceHandle handle);
// Releases one space; false when the handle names none.
bool releaseSpace(TangentSpaceHandle handle);
// Releases every space.
void releaseAllSpaces(void);

TangentSpaceHandle handleOf(const TangentSpace* space);

#endif

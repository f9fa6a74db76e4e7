// The five functions the provider publishes, typed as plug-ins call them.
#ifndef TANGENTSPACE_PUBLISHED_H
#define TANGENTSPACE_PUBLISHED_H

#include "kestrin_types.h"

// Makes (again) the tangent space of (mesh, targetId); the provider owns it.
// Null when memory ran out.
TangentSpaceHandle useful_CreateTangentSpace(HostHandle mesh, uint32_t targetId);
// The handle made for (mesh, targetId), or null when none was made.
TangentSpaceHandle useful_FetchTangentSpace(HostHandle mesh, uint32_t targetId);
// Releases the space; 0 when the handle names none. Plug-ins hold it only.
int32_t useful_DeleteTangentSpace(TangentSpaceHandle space);
// Recomputes every point's frame from the mesh at this evaluation. 1 when
// done; 0 for a handle that names no space (or without memory).
int32_t useful_TangentSpaceCalculate(TangentSpaceHandle space);
// Writes the point's frame as a 4x4 row-major matrix (16 doubles) whose rows
// 0-2 are tangent, bitangent and normal. The identity, and 0, for a handle or
// point that has no frame; nothing for a null matrix.
int32_t useful_TangentGetMatrix(TangentSpaceHandle space, int32_t point, double* matrix);

#endif

#include "published.h"

#include <stdlib.h>
#include <string.h>

#include <type_traits>

#include "frames.h"
#include "host_api.h"
#include "tangent_space.h"

// Each definition must keep the type plug-ins call it with.
#define TANGENT_FUNCTION(name)
#define TANGENT_CALL(name, result, parameters) \
    static_assert(std::is_same<decltype(&name), result(*) parameters>::value, #name);
#include "tangent_functions.def"

TangentSpaceHandle useful_CreateTangentSpace(HostHandle mesh, uint32_t targetId) {
    return handleOf(createSpace(mesh, targetId));
}

TangentSpaceHandle useful_FetchTangentSpace(HostHandle mesh, uint32_t targetId) {
    return handleOf(spaceOfPair(mesh, targetId));
}

int32_t useful_DeleteTangentSpace(TangentSpaceHandle space) { return releaseSpace(space) ? 1 : 0; }

int32_t useful_TangentSpaceCalculate(TangentSpaceHandle handle) {
    TangentSpace* space = spaceOfHandle(handle);
    if (space == nullptr) return 0;
    int32_t n = 0;
    fxMeshNumPoints(space->mesh, &n, 0);
    if (n < 0) n = 0;
    // The frames of the last calculation are replaced in place when the
    // point count is the same, as it is frame after frame of a shot.
    if (space->frames == nullptr || space->pointCount != n) {
        free(space->frames);
        space->pointCount = 0;
        space->frames = static_cast<double*>(calloc(n > 0 ? (size_t)n * FRAME_SIZE : 1, sizeof(double)));
        if (space->frames == nullptr) return 0;
    }
    space->pointCount = 0;
    if (!computeFrames(space->mesh, n, space->frames)) return 0;
    space->pointCount = n;
    return 1;
}

int32_t useful_TangentGetMatrix(TangentSpaceHandle handle, int32_t point, double* matrix) {
    if (matrix == nullptr) return 0;
    memset(matrix, 0, 16 * sizeof(double));
    matrix[0] = matrix[5] = matrix[10] = matrix[15] = 1.0;
    const TangentSpace* space = spaceOfHandle(handle);
    if (space == nullptr || point < 0 || point >= space->pointCount) return 0;
    const double* frame = space->frames + (size_t)point * FRAME_SIZE;
    for (int32_t r = 0; r < 3; ++r) {
        for (int32_t c = 0; c < 3; ++c) matrix[4 * r + c] = frame[3 * r + c];
    }
    return 1;
}

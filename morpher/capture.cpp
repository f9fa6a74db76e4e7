#include "capture.h"

#include <stdlib.h>

#include "frame.h"
#include "host_api.h"
#include "instance.h"
#include "rest_state.h"
#include "tangent_api.h"

namespace {

// Releases old and returns a zero-filled array of count entries of size bytes
// to take its place, or null when memory ran out. A count of 0 still gives a
// (one-entry) array, so null always means failure.
void* replaceArray(void* old, int32_t count, size_t size) {
    free(old);
    return calloc(count > 0 ? (size_t)count : 1, size);
}

bool providerPresent(void) {
    return useful_CreateTangentSpace != nullptr && useful_FetchTangentSpace != nullptr &&
           useful_TangentSpaceCalculate != nullptr && useful_TangentGetMatrix != nullptr;
}

// Offsets from each rest point to the target's point of the same number, in
// the point's tangent frame. A point the target lacks gets a zero offset.
void captureOffsets(const MorpherInstance* record, HostHandle mesh, HostHandle target,
                    Point3* deltas) {
    int32_t targetPoints = 0;
    fxMeshNumPoints(target, &targetPoints, 0);
    for (int32_t i = 0; i < record->rest.pointCount; ++i) {
        double m[TANGENT_MATRIX_SIZE];
        clearFrame(m);
        useful_TangentGetMatrix(record->tangentSpace, i, m);
        Point3 p = {0.0, 0.0, 0.0};
        fxMeshPoint(mesh, i, &p, 0);
        Point3 t = p;
        if (i < targetPoints) fxMeshPoint(target, i, &t, 0);
        const Point3 d = {t.x - p.x, t.y - p.y, t.z - p.z};
        deltas[i] = intoFrame(m, d);
    }
}

// The capture of the mesh's n points: neighbourhoods and rest lengths, the
// tension buffer, then the offsets of each chosen target in turn. Sets
// captured once both targets are recorded; stops early, captured 0, at the
// first target not chosen. Returns false when memory ran out.
bool captureSteps(MorpherInstance* record, uint32_t targetId, HostHandle mesh, int32_t n) {
    if (captureRestState(&record->rest, mesh, n) == 0) return false;
    record->tangentSpace = useful_CreateTangentSpace(mesh, targetId);
    record->tensions = static_cast<double*>(replaceArray(record->tensions, n, sizeof(double)));
    if (record->tensions == nullptr) return false;
    if (record->stretchObject == 0) return true;

    record->stretchDeltas =
        static_cast<Point3*>(replaceArray(record->stretchDeltas, n, sizeof(Point3)));
    if (record->stretchDeltas == nullptr) return false;
    record->tangentSpace = useful_FetchTangentSpace(mesh, targetId);
    useful_TangentSpaceCalculate(record->tangentSpace);
    captureOffsets(record, mesh, record->stretchObject, record->stretchDeltas);
    if (record->squashObject == 0) return true;

    record->squashDeltas =
        static_cast<Point3*>(replaceArray(record->squashDeltas, n, sizeof(Point3)));
    if (record->squashDeltas == nullptr) return false;
    captureOffsets(record, mesh, record->squashObject, record->squashDeltas);
    record->captured = 1;
    return true;
}

}  // namespace

int32_t captureRoutine(uint32_t targetId, void*, HostHandle mesh, void* instance) {
    MorpherInstance* record = static_cast<MorpherInstance*>(instance);
    int32_t n = 0;
    fxMeshNumPoints(mesh, &n, 0);
    if (record->captured == 1) return 1;
    // Offsets can only be held in tangent frames: without the provider the
    // effect stays inactive rather than call a function that is not there.
    if (!providerPresent()) return 1;
    if (n < 0) n = 0;

    record->captured = 0;
    // Half a rest state would move points by wrong amounts, or keep arrays
    // the next pass replaces anyway: a capture cut short by the heap keeps
    // nothing, and the next setup pass starts again from the beginning.
    if (!captureSteps(record, targetId, mesh, n)) releaseCapture(record);
    return 1;
}

// Effect passes: target scans and the displacement being collected.
//
// The host drives an effect through Host::setupEffect (EFFECT_SETUP, with the
// targets evaluated at their rest shape) and Host::displaceEffect
// (EFFECT_DISPLACE at the current pose). fxEffectTargetScan calls the
// module's routine once per target (Host::effectTargets), with the target's
// place in that list, from 0, as its target id; between fxDisplaceBegin and
// fxDisplaceEnd the positions given by fxDisplacePoint are collected, and
// End makes them the target's output (SceneObject::output), or leaves them
// in the buffer a driver lent for that mesh's pass (Session::displace). Points a
// pass does not move keep their current position.
#ifndef KESTRIN_HOST_EFFECTS_H
#define KESTRIN_HOST_EFFECTS_H

#include <stdint.h>

#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

struct EffectState {
    // The mesh whose displacement pass is open; 0 when none is.
    HostHandle displacing = 0;
    // Its output so far: the current positions, overwritten point by point,
    // in `pending` or in the lent buffer (`into` says which, `intoCount`
    // how many points it holds).
    std::vector<Point3> pending;
    Point3* into = nullptr;
    size_t intoCount = 0;
    // A buffer of the caller's that the next pass of `lentFor` writes into
    // instead of the scene's own two (pending and output): a driver that
    // copies each pass's positions out anyway saves both, a mesh's worth
    // of points each. lentCount must be the mesh's point count.
    HostHandle lentFor = 0;
    Point3* lent = nullptr;
    size_t lentCount = 0;
    // The pass that last closed into the lent buffer.
    int32_t lentPass = 0;
    // Passes closed by fxDisplaceEnd.
    int32_t passes = 0;
    // fxDisplacePoint calls outside an open pass of that mesh, or for a point
    // it does not have: dropped.
    int32_t strayPoints = 0;
};

}  // namespace kestrin::host

#endif

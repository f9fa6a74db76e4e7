// Effect passes: target scans and the displacement being collected.
//
// The host drives an effect through Host::setupEffect (EFFECT_SETUP, with the
// targets evaluated at their rest shape) and Host::displaceEffect
// (EFFECT_DISPLACE at the current pose). fxEffectTargetScan calls the
// module's routine once per target (Host::effectTargets), with the target's
// place in that list, from 0, as its target id; between fxDisplaceBegin and
// fxDisplaceEnd the positions given by fxDisplacePoint are collected, and
// End makes them the target's output (SceneObject::output). Points a pass
// does not move keep their current position.
#ifndef KESTRIN_HOST_EFFECTS_H
#define KESTRIN_HOST_EFFECTS_H

#include <stdint.h>

#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

struct EffectState {
    // The mesh whose displacement pass is open; 0 when none is.
    HostHandle displacing = 0;
    // Its output so far: the current positions, overwritten point by point.
    std::vector<Point3> pending;
    // Passes closed by fxDisplaceEnd.
    int32_t passes = 0;
    // fxDisplacePoint calls outside an open pass of that mesh, or for a point
    // it does not have: dropped.
    int32_t strayPoints = 0;
};

}  // namespace kestrin::host

#endif

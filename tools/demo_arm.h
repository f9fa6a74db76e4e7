// The demo's procedural arm: a subdivided cylinder along x with n-gon caps,
// bent at the elbow, and the two corrective shapes made for it.
#ifndef KESTRIN_TOOL_DEMO_ARM_H
#define KESTRIN_TOOL_DEMO_ARM_H

#include "mesh/mesh_data.h"

namespace kestrin::tool {

struct ArmShape {
    double length = 10.0;
    double radius = 1.0;
    int rings = 41;      // along the arm
    int segments = 24;   // around it; each cap is one polygon of this many corners
    double elbow = 5.0;  // x of the elbow's middle
    // The elbow bends over [elbow - 1.25, elbow + 1.25]: at 120 degrees the
    // centre line's arc has a radius of 1.19, so the inside of the elbow
    // (radius 0.19) folds tight without passing through itself.
    double bendLength = 2.5;
};

// The arm at rest: rings * segments points, quads between rings, two caps.
formats::MeshData makeArm(const ArmShape& shape);
// The rest arm bent upward (toward +y) at the elbow by `degrees`: the
// elbow's centre line follows a circular arc, so the outside (-y) of the
// elbow is stretched and the inside (+y) squashed.
formats::MeshData bendArm(const formats::MeshData& rest, const ArmShape& shape, double degrees);
// The squash target: the flesh of the inner elbow squeezed out to either
// side of the fold's line, which itself stays put.
formats::MeshData squashTarget(const formats::MeshData& rest, const ArmShape& shape);
// The stretch target: the skin drawn slightly tighter over the whole outer
// elbow, which stays round.
formats::MeshData stretchTarget(const formats::MeshData& rest, const ArmShape& shape);

}  // namespace kestrin::tool

#endif
